#include "CompressorObject.h"

#include <dsp/Frame.h>
#include <dsp/OnePole.h>
#include <od/config.h>

#include <cmath>

namespace {
// Reciprocal of the gain smoother's 1 ms time constant, as 1/0.001 rounds in float.
constexpr float kSmoothingRate = 1.0f / 0.001f;
// Lowest threshold used: keeps the level ratio d / t finite.
constexpr float kMinThreshold = 0.00001f;
} // namespace

CompressorObject::CompressorObject() {
  addInput(mIn);
  addOutput(mOut);
  addInput(mSideChain);
  addInput(mThreshold);
  addInput(mRatio);
  mSmoothing = dsp::onePoleCoefficient(kSmoothingRate, (float)sampleRate());
}

CompressorObject::~CompressorObject() = default;

void CompressorObject::process() {
  const int n = dsp::usableFrameLength();
  if (n == 0) return;
  const float *in = mIn.buffer();
  const float *sideChain = mSideChain.buffer();
  const float *threshold = mThreshold.buffer();
  const float *ratio = mRatio.buffer();
  float *out = mOut.buffer();
  const float k = mSmoothing;
  float gain = mGain;

  for (int i = 0; i < n; i++) {
    // Written as negated comparisons so a NaN control takes the lower limit.
    float d = sideChain[i];
    if (!(d >= 0.0f)) d = 0.0f;
    float t = threshold[i];
    if (!(t >= kMinThreshold)) t = kMinThreshold;
    float r = ratio[i];
    if (!(r >= 1.0f)) r = 1.0f;
    const float exponent = 1.0f / r - 1.0f;
    // Below the threshold the gain goes to 1; only above it is the power needed.
    const float target = t >= d ? 1.0f : powf(d / t, exponent);
    gain = dsp::onePoleStep(gain, target, k);
    out[i] = gain * in[i];
  }
  mGain = gain;
}
