#include <od/Filter.h>

#include <dsp/Clamp.h>

#include <cmath>

namespace od {

namespace {
constexpr float kDefaultCutoff = 1000.0f; // Hz
constexpr float kPi = 3.14159265f;
// Damping 1 / Q: sqrt 2 at resonance 0 (maximally flat), kLeastDamping at resonance 1.
constexpr float kMostDamping = 1.41421356f;
constexpr float kLeastDamping = 0.02f;
} // namespace

Filter::Filter() {
  addInput(mIn);
  addInput(mCutoff);
  addInput(mResonance);
  addOutput(mOut);
  addOption(mMode);
  mCutoff.setConstant(kDefaultCutoff);
}

Filter::~Filter() = default;

void Filter::process() {
  const int n = globalConfig.frameLength;
  const float *in = mIn.buffer();
  const float *cutoff = mCutoff.buffer();
  const float *resonance = mResonance.buffer();
  float *out = mOut.buffer();
  const int mode = mMode.value();
  const float rate = (float)sampleRate();
  const float top = kHighestCutoff * rate;

  for (int i = 0; i < n; i++) {
    const float g = tanf(kPi * dsp::clampNanHigh(cutoff[i], kLowestCutoff, top) / rate);
    const float k = kMostDamping - (kMostDamping - kLeastDamping) * dsp::clampNanLow(resonance[i], 0.0f, 1.0f);
    // One step of the two integrators solved together (zero-delay feedback).
    const float a1 = 1.0f / (1.0f + g * (g + k));
    const float a2 = g * a1;
    const float a3 = g * a2;
    const float x = in[i];
    const float v3 = x - mLow;
    const float band = a1 * mBand + a2 * v3;
    const float low = mLow + a2 * mBand + a3 * v3;
    // An input that is not finite leaves no trace in the states.
    mBand = dsp::finiteAudibleOrZero(2.0f * band - mBand);
    mLow = dsp::finiteAudibleOrZero(2.0f * low - mLow);
    switch (mode) {
    case kHighPass: out[i] = x - k * band - low; break;
    case kBandPass: out[i] = k * band; break;
    case kNotch: out[i] = x - k * band; break;
    default: out[i] = low; break;
    }
  }
}

} // namespace od
