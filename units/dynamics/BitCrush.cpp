#include "BitCrush.h"

#include <dsp/Clamp.h>
#include <dsp/Frame.h>

#include <cmath>

namespace od {

namespace {
// Quantisation steps for a bit depth e: the scale 2^(e - 1) and its reciprocal, 1 at or below
// 0 bits, 2^31 beyond 32. Powers of two, so multiplying by the reciprocal rounds exactly as
// dividing by the scale does; kept in tables so no library call runs per held value.
struct QuantisationTable {
  float scale[33];
  float inverse[33];
  constexpr QuantisationTable() : scale(), inverse() {
    float s = 1.0f;
    float r = 1.0f;
    scale[0] = inverse[0] = 1.0f;
    for (int bits = 1; bits <= 32; bits++) {
      scale[bits] = s;
      inverse[bits] = r;
      s *= 2.0f;
      r *= 0.5f;
    }
  }
};
constexpr QuantisationTable kQuantisation;

int tableIndex(int bits) { return bits <= 0 ? 0 : (bits > 32 ? 32 : bits); }
} // namespace

BitCrush::BitCrush() {
  addInput(mIn);
  addOutput(mOut);
  addInput(mBitDepth);
  addInput(mHoldLength);
}

BitCrush::~BitCrush() = default;

void BitCrush::process() {
  const int n = dsp::usableFrameLength();
  if (n == 0) return;
  const float *in = mIn.buffer();
  const float *bitDepth = mBitDepth.buffer();
  const float *holdLength = mHoldLength.buffer();
  float *out = mOut.buffer();

  // Counter and held value in locals for the loop, so the stores to "Out" cannot touch them.
  int counter = mHoldCounter;
  float held = mHeldValue;
  for (int j = 0; j < n; j++) {
    int hold = dsp::truncToInt(holdLength[j]);
    if (hold < 1) hold = 1;
    if (counter == 0) {
      const int index = tableIndex(dsp::truncToInt(bitDepth[j]));
      held = roundf(in[j] * kQuantisation.scale[index]) * kQuantisation.inverse[index];
    }
    out[j] = held;
    if (++counter >= hold) counter = 0;
  }
  mHoldCounter = counter;
  mHeldValue = held;
}

} // namespace od
