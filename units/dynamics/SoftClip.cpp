#include "SoftClip.h"

#include <dsp/Frame.h>
#include <dsp/SoftClipCurves.h>
#include <od/simd.h>

namespace od {

namespace {
// Extra drive applied to In x Gain before the curve.
constexpr float kDrive = 1.5f;
} // namespace

SoftClip::SoftClip() {
  addInput(mIn);
  addOutput(mOut);
  addInput(mGain);
  addOption(mAlgo);
}

SoftClip::~SoftClip() = default;

void SoftClip::process() {
  const int n = dsp::usableFrameLength();
  if (n == 0) return;
  const float *in = mIn.buffer();
  const float *gain = mGain.buffer();
  float *out = mOut.buffer();
  const int algo = mAlgo.value();

  for (int j = 0; j < n; j += 4) {
    const float4 x = simd_load(in + j) * simd_load(gain + j) * kDrive;
    simd_store(out + j, dsp::softClip(algo, x));
  }
}

} // namespace od
