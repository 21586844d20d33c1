#include "BitCrush.h"

#include <dsp/Clamp.h>

#include <cmath>

namespace od {

namespace {
// Scale for bit depths beyond 32: 2^31.
constexpr float kWidestScale = 2147483648.0f;

// Quantisation scale 2^(e - 1) for a bit depth e: 1 at or below 0 bits, 2^31 beyond 32.
float quantisationScale(int bits) {
  if (bits <= 0) return 1.0f;
  if (bits > 32) return kWidestScale;
  return ldexpf(1.0f, bits - 1);
}
} // namespace

BitCrush::BitCrush() {
  addInput(mIn);
  addOutput(mOut);
  addInput(mBitDepth);
  addInput(mHoldLength);
}

BitCrush::~BitCrush() = default;

void BitCrush::process() {
  const int n = globalConfig.frameLength & ~3;
  if (n < 4) return;
  const float *in = mIn.buffer();
  const float *bitDepth = mBitDepth.buffer();
  const float *holdLength = mHoldLength.buffer();
  float *out = mOut.buffer();

  for (int j = 0; j < n; j++) {
    int hold = dsp::truncToInt(holdLength[j]);
    if (hold < 1) hold = 1;
    if (mHoldCounter == 0) {
      const float scale = quantisationScale(dsp::truncToInt(bitDepth[j]));
      mHeldValue = roundf(in[j] * scale) / scale;
    }
    out[j] = mHeldValue;
    if (++mHoldCounter >= hold) mHoldCounter = 0;
  }
}

} // namespace od
