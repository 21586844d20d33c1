#pragma once

#include <od/Object.h>

#include <vector>

namespace od {

// A step sequencer over a fixed list of steps: a value (Hz) sounds, NaN is a rest. Inlet
// "Clock" (each rising edge through 0.5 starts the next step; while unconnected the steps
// run at "BPM"); parameters "BPM" (1..3000; NaN reads 1), "Division" (steps per beat,
// 0.125..64, default 4), "Swing" (0..0.5: every second step starts Swing x one step length
// late), "Length" (the gate's share of a step, 0..1, at least one sample and always one
// low sample before the next step; default 0.5); outlets "Trig" (1 while a sounding step's
// gate is open, else 0) and "Pitch" (the value of the last sounding step, from the start
// the first sounding one). The first step starts on the first sample (with a clock, on its
// first edge); after the last the steps begin again. Under a clock a step lasts the time
// between its last two edges (the first one, a step at BPM); a step that begins while the
// gate is still open holds it low for one sample first.
class Sequencer : public Object {
public:
  explicit Sequencer(const std::vector<float> &steps);
  ~Sequencer() override;

  void process() override;

  int stepCount() const { return (int)mSteps.size(); }

  Inlet mClock{"Clock"};
  Outlet mTrig{"Trig"};
  Outlet mPitch{"Pitch"};
  Parameter mBPM{"BPM", 120.0f};
  Parameter mDivision{"Division", 4.0f};
  Parameter mSwing{"Swing", 0.0f};
  Parameter mLength{"Length", 0.5f};

private:
  void begin(double available, double stepLength, float length);

  std::vector<float> mSteps;
  int mIndex = -1;            // the step playing
  float mPitchValue = 0.0f;
  long mGateLeft = 0;         // samples the gate stays open
  bool mHoldLow = false;      // a step began with the gate open: one low sample first
  // Free running: the position in samples inside the current pair of steps (the second
  // one swung), and which of the two plays (-1 before the first).
  double mPosition = 0.0;
  double mStepLength = 0.0;   // samples, as of the last frame
  int mSlot = -1;
  // Clocked: samples since the last edge, the measured step, and a swung step waiting.
  bool mClockHigh = false;
  bool mClocked = false;      // an edge has come
  long mSinceEdge = 0;
  double mClockPeriod = 0.0;
  long mPending = -1;         // samples until the swung step starts, -1 for none
  int mClockSlot = 1;
};

} // namespace od
