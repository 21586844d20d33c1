#pragma once

#include "StruckVoice.h"

// Cowbell: two squares at "Tune" and 800/540 of it through a band-pass that follows the
// tuning, under a body envelope plus a short louder clank, into the saturator.
class Cowbell : public StruckVoice {
public:
  Cowbell();
  ~Cowbell() override;

  od::Inlet mClank{"Clank"};

private:
  void render(int n, const float *trigger, const float *tune, float *out, float sampleRate) OD_NONBLOCKING override;

  TunedPair mSquares; // the second envelope is the clank
  float mHighPass = 0.0f;
  float mLowPass = 0.0f;
  float mClankDecay = 0.0f;
};
