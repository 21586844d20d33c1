#pragma once

#include "StruckVoice.h"

// Bass drum: a sine whose pitch falls from up to ten times "Tune" after each strike,
// under a decaying envelope, plus a short noise click, driven into the saturator.
class Kick : public StruckVoice {
public:
  Kick();
  ~Kick() override;

  od::Inlet mPunch{"Punch"};
  od::Inlet mClick{"Click"};
  od::Inlet mDrive{"Drive"};

private:
  void render(int n, const float *trigger, const float *tune, float *out, float sampleRate) OD_NONBLOCKING override;

  SweptSine mSine{0x01234567u}; // the burst is the click
  float mPitchDecay = 0.0f;
  float mClickDecay = 0.0f;
};
