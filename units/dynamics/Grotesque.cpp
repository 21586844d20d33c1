#include "Grotesque.h"

#include <dsp/Clamp.h>
#include <dsp/Frame.h>
#include <dsp/OnePole.h>
#include <dsp/Saturator.h>
#include <od/Random.h>
#include <od/config.h>

#include <cmath>

namespace {
// 2 pi x 12 Hz: the output DC blocker.
constexpr float kBlockerRate = -dsp::kTwoPi * 12.0f;
// Both corners stay below 0.42 x sample rate.
constexpr float kCornerCeiling = 0.42f;
// Low-pass corner 150 x 120^High Hz (150 Hz to 18 kHz).
constexpr float kLowPassBase = 150.0f;
constexpr float kLowPassSpan = 120.0f;
// High-pass corner 7000 x (1/280)^Low Hz (7 kHz down to 25 Hz).
constexpr float kHighPassBase = 7000.0f;
constexpr float kHighPassSpan = 0.0035714286f;
// Feedback gain 0.02 + 0.4 Low + 0.8 High + 0.65 Gain^2 (0.02 to 1.87).
constexpr float kFeedbackFloor = 0.02f;
constexpr float kFeedbackLow = 0.4f;
constexpr float kFeedbackHigh = 0.8f;
constexpr float kFeedbackGain = 0.65f;
// Slope morph from one pole (0.15) to two poles (1).
constexpr float kMorphFloor = 0.15f;
constexpr float kMorphSpan = 0.85f;
// Input gain 0.75 + 4.5 Gain^2.
constexpr float kInputFloor = 0.75f;
constexpr float kInputSpan = 4.5f;
// Noise amplitude (2e-7 + 3e-5 Gain^3) x (1 - Input).
constexpr float kNoiseFloor = 0.0000002f;
constexpr float kNoiseSpan = 0.00003f;
constexpr float kOutputDrive = 1.15f;

// fminf for two numbers that are not NaN (fminf is a library call).
float lowerOf(float a, float b) { return a < b ? a : b; }
} // namespace

Grotesque::Grotesque() {
  addInput(mIn);
  addInput(mHigh);
  addInput(mLow);
  addInput(mGain);
  addInput(mInput);
  addOutput(mOut);
}

Grotesque::~Grotesque() = default;

void Grotesque::process() {
  const int n = dsp::usableFrameLength();
  if (n == 0) return;
  const float *in = mIn.buffer();
  const float *high = mHigh.buffer();
  const float *low = mLow.buffer();
  const float *gain = mGain.buffer();
  const float *input = mInput.buffer();
  float *out = mOut.buffer();

  const float T = samplePeriod();
  const float pole = expf(kBlockerRate * T);
  const float ceiling = kCornerCeiling * (float)sampleRate();
  od::RandomSource &random = od::Random::current(); // the running context's, for the whole frame

  for (int i = 0; i < n; i++) {
    const float h = dsp::clampNanLow(high[i], 0.0f, 1.0f);
    const float l = dsp::clampNanLow(low[i], 0.0f, 1.0f);
    const float g = dsp::clampNanLow(gain[i], 0.0f, 1.0f);
    const float inputLevel = dsp::clampNanLow(input[i], 0.0f, 1.0f);

    // The corners are positive numbers, so the lower of corner and ceiling is a comparison.
    const float lowPassCorner = lowerOf(kLowPassBase * powf(kLowPassSpan, h), ceiling);
    const float highPassCorner = lowerOf(kHighPassBase * powf(kHighPassSpan, l), ceiling);
    const float lowPassStep = 1.0f - expf(-dsp::kTwoPi * lowPassCorner * T);
    const float highPassStep = 1.0f - expf(-dsp::kTwoPi * highPassCorner * T);

    const float g2 = g * g;
    const float feedback = kFeedbackFloor + kFeedbackLow * l + kFeedbackHigh * h + kFeedbackGain * g2;
    const float morph = kMorphFloor + kMorphSpan * g;
    const float inputGain = kInputFloor + kInputSpan * g2;
    const float noiseLevel = (kNoiseFloor + kNoiseSpan * (g2 * g)) * (1.0f - inputLevel);

    const float noise = random.generateFloat(-noiseLevel, noiseLevel);
    const float x = noise + inputGain * (inputLevel * inputLevel) * in[i] + dsp::saturateClipped(feedback * mLoop);
    const float y = dsp::finiteOrZero(dsp::saturateClipped(x)); // the filters and the loop only see numbers

    mHighPass1 = dsp::onePoleStep(mHighPass1, y, highPassStep);
    const float p1 = y - mHighPass1;
    mHighPass2 = dsp::onePoleStep(mHighPass2, p1, highPassStep);
    const float p2 = p1 - mHighPass2;
    const float u = p1 + morph * (p2 - p1);

    mLowPass1 = dsp::onePoleStep(mLowPass1, u, lowPassStep);
    mLowPass2 = dsp::onePoleStep(mLowPass2, mLowPass1, lowPassStep);
    mLoop = mLowPass1 + morph * (mLowPass2 - mLowPass1);

    const float s = dsp::saturateClipped(kOutputDrive * mLoop);
    out[i] = s - mPreviousShaped + pole * mPreviousOut;
    mPreviousShaped = s;
    mPreviousOut = out[i];
  }
}
