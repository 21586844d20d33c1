#include "StruckVoice.h"

#include <dsp/Frame.h>

StruckVoice::StruckVoice() {
  addInput(mTrigger);
  addOutput(mOut);
  addInput(mTune);
  addInput(mDecay);
}

void StruckVoice::process() {
  const int n = dsp::usableFrameLength();
  if (n == 0) return;
  render(n, mTrigger.buffer(), mTune.buffer(), mOut.buffer(), (float)sampleRate());
}
