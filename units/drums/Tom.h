#pragma once

#include "StruckVoice.h"

// Tom-tom: a sine whose pitch bends down from up to 2.4 times "Tune" after each strike,
// under a decaying envelope, with a short noise burst for the stick, into the saturator.
class Tom : public StruckVoice {
public:
  Tom();
  ~Tom() override;

  od::Inlet mBend{"Bend"};

private:
  void render(int n, const float *trigger, const float *tune, float *out, float sampleRate) OD_NONBLOCKING override;

  SweptSine mSine{0xD00D5EEDu}; // the burst is the stick
  float mPitchDecay = 0.0f;
  float mStickDecay = 0.0f;
};
