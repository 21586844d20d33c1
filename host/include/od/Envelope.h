#pragma once

#include <od/Object.h>
#include <od/SmoothingRate.h>

namespace od {

// An ADSR envelope from 0 to 1. "Gate" (high above 0.5: a rise starts the attack from the
// current level, a fall starts the release), "Attack", "Decay", "Release" (seconds each
// segment takes to come within 1 % of its target, 0.0005..60; NaN reads the shortest),
// "Sustain" (0..1; NaN reads 0). Each segment is an exponential aimed a little past its
// target, so it reaches the target and stops there.
class Envelope : public Object {
public:
  static constexpr float kShortest = 0.0005f; // seconds
  static constexpr float kLongest = 60.0f;    // seconds

  Envelope();
  ~Envelope() override;

  void process() override;

  Inlet mGate{"Gate"};
  Inlet mAttack{"Attack"};
  Inlet mDecay{"Decay"};
  Inlet mSustain{"Sustain"};
  Inlet mRelease{"Release"};
  Outlet mOut{"Out"};

private:
  enum class Stage { Idle, Attack, Decay, Sustain, Release };

  Stage mStage = Stage::Idle;
  float mLevel = 0.0f;
  float mStart = 0.0f; // level where the current segment began
  bool mGateHigh = false;
  SmoothingRate mAttackRate, mDecayRate, mReleaseRate;
};

} // namespace od
