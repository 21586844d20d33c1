#pragma once

#include <od/Object.h>

namespace od {

// A low-frequency oscillator: "Out" = Offset + Level * shape(phase). "Rate" (Hz, 0..1000;
// NaN reads 0), "Level" and "Offset" (per sample), "Sync" (a rising edge through 0.5
// restarts the cycle at "Phase"); parameter "Phase" (start phase, 0..1, taken on the first
// frame and at every sync); option "Shape": 0 sine, 1 triangle, 2 saw up, 3 square,
// 4 sample-and-hold (a new value in -1..1 from the host's seeded random source at the
// start of every cycle). Every shape starts its cycle at a rising zero, or, for the saw,
// at -1; the square is high for the first half.
class LFO : public Object {
public:
  enum Shape { kSine = 0, kTriangle = 1, kSawUp = 2, kSquare = 3, kSampleAndHold = 4 };
  static constexpr float kMaxRate = 1000.0f; // Hz

  LFO();
  ~LFO() override;

  void process() override;

  Inlet mRate{"Rate"};
  Inlet mLevel{"Level"};
  Inlet mOffset{"Offset"};
  Inlet mSync{"Sync"};
  Outlet mOut{"Out"};
  Parameter mStartPhase{"Phase", 0.0f};
  Option mShape{"Shape", kSine};

private:
  void restart(bool draw);

  double mPhase = 0.0; // in cycles, [0, 1)
  float mHeld = 0.0f;  // the sample-and-hold value of this cycle
  bool mStarted = false;
  bool mSyncHigh = false;
};

} // namespace od
