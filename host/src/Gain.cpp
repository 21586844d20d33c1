#include "Controls.h"

#include <od/Gain.h>

namespace od {

Gain::Gain() {
  addInput(mIn);
  addInput(mGain);
  addOutput(mOut);
  mGain.setConstant(1.0f);
}

Gain::~Gain() = default;

void Gain::process() {
  const int n = globalConfig.frameLength;
  const float *in = mIn.buffer();
  const float *gain = mGain.buffer();
  float *out = mOut.buffer();
  for (int i = 0; i < n; i++) out[i] = in[i] * levelControl(gain[i]);
}

} // namespace od
