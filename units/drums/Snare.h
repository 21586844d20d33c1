#pragma once

#include "StruckVoice.h"

// Snare drum: a two-sine body ("Tune" and 1.83 times it) under one envelope, plus
// high-passed noise for the wires under a longer one, into the saturator.
class Snare : public StruckVoice {
public:
  Snare();
  ~Snare() override;

  od::Inlet mSnap{"Snap"};
  od::Inlet mTone{"Tone"};

private:
  void render(int n, const float *trigger, const float *tune, float *out, float sampleRate) OD_NONBLOCKING override;

  TunedPair mDrum; // the second envelope is the wires
  float mNoiseLowPass = 0.0f;
  dsp::LcgNoise mNoise{0x0BEEF001u};
};
