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
// Samples per chunk: the controls of a chunk are computed ahead of its loop.
constexpr int kChunk = 64;

// fminf on each lane, for numbers that are not NaN (fminf is a library call).
float4 lowerOf(float4 a, float b) { return a < b ? a : simd_set(b); }

// powf(base, e) on each lane.
float4 powerOf(float base, float4 e) {
  return float4{powf(base, e[0]), powf(base, e[1]), powf(base, e[2]), powf(base, e[3])};
}
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

  // Each chunk runs in three passes: the controls of every sample, four at a time (the library
  // calls and the noise in sample order); the feedback loop itself, which calls nothing and
  // keeps its state in registers; the output shaper and DC blocker. Every value is computed
  // from the same operands in the same order as in one pass.
  float highPass1 = mHighPass1;
  float highPass2 = mHighPass2;
  float lowPass1 = mLowPass1;
  float lowPass2 = mLowPass2;
  float loop = mLoop;
  float previousShaped = mPreviousShaped;
  float previousOut = mPreviousOut;
  for (int start = 0; start < n; start += kChunk) {
    const int count = n - start < kChunk ? n - start : kChunk;
    float drive[kChunk]; // noise plus the gained input
    float feedback[kChunk];
    float morph[kChunk];
    float lowPassStep[kChunk];
    float highPassStep[kChunk];
    float loops[kChunk]; // the loop's value after each sample
    for (int j = 0; j < count; j += 4) {
      const int i = start + j;
      const float4 h = dsp::clampNanLow(simd_load(high + i), 0.0f, 1.0f);
      const float4 l = dsp::clampNanLow(simd_load(low + i), 0.0f, 1.0f);
      const float4 g = dsp::clampNanLow(simd_load(gain + i), 0.0f, 1.0f);
      const float4 inputLevel = dsp::clampNanLow(simd_load(input + i), 0.0f, 1.0f);

      // The corners are positive numbers, so the lower of corner and ceiling is a comparison.
      // A corner held still keeps its step.
      simd_store(lowPassStep + j, mLowPassStep(h, [=](float4 h) {
        const float4 lowPassCorner = lowerOf(kLowPassBase * powerOf(kLowPassSpan, h), ceiling);
        return 1.0f - simd_exp(-dsp::kTwoPi * lowPassCorner * T);
      }));
      simd_store(highPassStep + j, mHighPassStep(l, [=](float4 l) {
        const float4 highPassCorner = lowerOf(kHighPassBase * powerOf(kHighPassSpan, l), ceiling);
        return 1.0f - simd_exp(-dsp::kTwoPi * highPassCorner * T);
      }));

      const float4 g2 = g * g;
      simd_store(feedback + j, kFeedbackFloor + kFeedbackLow * l + kFeedbackHigh * h + kFeedbackGain * g2);
      simd_store(morph + j, kMorphFloor + kMorphSpan * g);
      const float4 inputGain = kInputFloor + kInputSpan * g2;
      const float4 noiseLevel = (kNoiseFloor + kNoiseSpan * (g2 * g)) * (1.0f - inputLevel);

      float4 noise;
      for (int lane = 0; lane < 4; lane++) noise[lane] = random.generateFloat(-noiseLevel[lane], noiseLevel[lane]);
      simd_store(drive + j, noise + inputGain * (inputLevel * inputLevel) * simd_load(in + i));
    }

    for (int j = 0; j < count; j++) {
      const float x = drive[j] + dsp::saturateClipped(feedback[j] * loop);
      const float y = dsp::finiteOrZero(dsp::saturateClipped(x)); // the filters and the loop only see numbers

      highPass1 = dsp::onePoleStep(highPass1, y, highPassStep[j]);
      const float p1 = y - highPass1;
      highPass2 = dsp::onePoleStep(highPass2, p1, highPassStep[j]);
      const float p2 = p1 - highPass2;
      const float u = p1 + morph[j] * (p2 - p1);

      lowPass1 = dsp::onePoleStep(lowPass1, u, lowPassStep[j]);
      lowPass2 = dsp::onePoleStep(lowPass2, lowPass1, lowPassStep[j]);
      loop = lowPass1 + morph[j] * (lowPass2 - lowPass1);
      loops[j] = loop;
    }

    // The output: the loop shaped four samples at a time, then the DC blocker.
    for (int j = 0; j < count; j += 4) {
      const float4 shaped = dsp::saturateClipped(kOutputDrive * simd_load(loops + j));
      for (int lane = 0; lane < 4; lane++) {
        const float o = shaped[lane] - previousShaped + pole * previousOut;
        out[start + j + lane] = o;
        previousShaped = shaped[lane];
        previousOut = o;
      }
    }
  }
  mHighPass1 = highPass1;
  mHighPass2 = highPass2;
  mLowPass1 = lowPass1;
  mLowPass2 = lowPass2;
  mLoop = loop;
  mPreviousShaped = previousShaped;
  mPreviousOut = previousOut;
}
