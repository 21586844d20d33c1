#pragma once

#include <od/Object.h>

// Transient shaper: a fast and a slow envelope follower split the signal into attack and
// sustain; "Atk" and "Sus" raise or lower each by up to 15 dB (0.5 leaves it unchanged).
class Shaper : public od::Object {
public:
  Shaper();
  ~Shaper() override;

  void process() OD_NONBLOCKING override;

  od::Inlet mIn{"In"};
  od::Outlet mOut{"Out"};
  od::Inlet mAttack{"Atk"};
  od::Inlet mSustain{"Sus"};

private:
  float mFast = 0.0f;
  float mSlow = 0.0f;
  float mGain = 1.0f;
  float mFastRiseStep = 0.0f;
  float mFastFallStep = 0.0f;
  float mSlowRiseStep = 0.0f;
  float mSlowFallStep = 0.0f;
  float mGainStep = 0.0f;
};
