#include "BitCrush.h"

#include <dsp/Frame.h>
#include <dsp/Rounding.h>

#include <climits>

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

// The table row for a "BitDepth" sample: its truncation, 0 below 1 bit (NaN too), 32 from 32 up.
int tableIndex(float bits) { return bits >= 1.0f ? (bits < 32.0f ? (int)bits : 32) : 0; }

// Samples each value is held for an "SR" sample: its truncation, 1 below 1 (NaN too), and the
// largest int from 2^31 up.
int holdSamples(float samples) {
  return samples >= 1.0f ? (samples < 2147483648.0f ? (int)samples : INT_MAX) : 1;
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
    const int hold = holdSamples(holdLength[j]);
    if (counter == 0) {
      const int index = tableIndex(bitDepth[j]);
      held = dsp::roundHalfAway(in[j] * kQuantisation.scale[index]) * kQuantisation.inverse[index];
    }
    out[j] = held;
    if (++counter >= hold) counter = 0;
  }
  mHoldCounter = counter;
  mHeldValue = held;
}

} // namespace od
