#include "TapDelay.h"

#include <od/FloatBlock.h>

#include <dsp/Clamp.h>
#include <dsp/DelayLine.h>
#include <dsp/Frame.h>
#include <dsp/OnePole.h>
#include <dsp/Saturator.h>
#include <dsp/TwoHeadReader.h>

#include <algorithm>

namespace {
// Longest tap spacing and the reach of four taps at it, in seconds.
constexpr float kMaxTime = 0.5f;
constexpr float kMinTime = 0.02f;
constexpr float kFourTapReach = 2.0f;
// Shifter window (0.1 s) and the spacing the smoother starts from (0.15 s).
constexpr float kWindowSeconds = 0.1f;
constexpr float kStartTime = 0.15f;
// Margin of the line beyond the longest reach, in samples.
constexpr int kLineMargin = 8;
// Smoothing rates (1 / time constant): 80 ms for the spacing, 40 ms for the ratios.
constexpr float kTimeRate = 12.5f;
constexpr float kPitchRate = 25.0f;
constexpr float kMaxRatio = 4.0f;
constexpr float kMaxFeedback = 0.95f;
// Limit of the fed-back signal before the saturator.
constexpr float kFeedbackDrive = 1.7f;
constexpr float kReverseThreshold = 0.5f;
// Samples whose phases are worked out ahead of their reads.
constexpr int kChunk = 32;
} // namespace

TapDelay::TapDelay() {
  addInput(mIn);
  addOutput(mOut);
  addOutput(mTap1);
  addOutput(mTap2);
  addOutput(mTap3);
  addOutput(mTap4);
  addInput(mTime);
  addInput(mFeedback);
  addInput(mReverse);
  addInput(mBlend);
  addInput(mPitch1);
  addInput(mPitch2);
  addInput(mPitch3);
  addInput(mPitch4);
  addInput(mLevel1);
  addInput(mLevel2);
  addInput(mLevel3);
  addInput(mLevel4);

  const float sr = (float)sampleRate();
  mBufferLength = dsp::truncToInt(kFourTapReach * sr + kWindowSeconds * sr) + kLineMargin;
  mSmoothedDelay = kStartTime * sr;
  mWindowLength = kWindowSeconds * sr;
  mTimeSmoothing = dsp::onePoleCoefficient(kTimeRate, sr);
  mPitchSmoothing = dsp::onePoleCoefficient(kPitchRate, sr);
  // The line and the guard that mirrors its first samples, so a head reads its pair at once.
  mMemory = od::FloatBlock(mBufferLength + dsp::kLineGuard);
}

TapDelay::~TapDelay() = default;

void TapDelay::process() {
  const int n = dsp::usableFrameLength();
  if (n == 0) return;
  const float *in = mIn.buffer();
  float *out = mOut.buffer();
  float *taps[kTaps] = {mTap1.buffer(), mTap2.buffer(), mTap3.buffer(), mTap4.buffer()};

  if (!mMemory) {
    for (int i = 0; i < n; i++) {
      out[i] = in[i];
      for (int k = 0; k < kTaps; k++) taps[k][i] = 0.0f;
    }
    return;
  }

  const float *time = mTime.buffer();
  const float *feedback = mFeedback.buffer();
  const float *reverse = mReverse.buffer();
  const float *blend = mBlend.buffer();
  const float *pitch[kTaps] = {mPitch1.buffer(), mPitch2.buffer(), mPitch3.buffer(), mPitch4.buffer()};
  const float *level[kTaps] = {mLevel1.buffer(), mLevel2.buffer(), mLevel3.buffer(), mLevel4.buffer()};
  const float sr = (float)sampleRate();
  const float window = mWindowLength;
  const int len = mBufferLength;

  // The four taps run as the four lanes of vectors, each lane with the arithmetic of one tap.
  const float4 tapNumber = {1.0f, 2.0f, 3.0f, 4.0f};
  float *buffer = mMemory.data();
  float4 ratio = simd_load(mTapRatio);
  float4 phase = simd_load(mTapPhase);
  float smoothedDelay = mSmoothedDelay;
  int writeIndex = mWriteIndex;
  const float timeSmoothing = mTimeSmoothing;
  const float pitchSmoothing = mPitchSmoothing;

  // A chunk of samples at a time: first the serial chains (the smoothed spacing, the ratios
  // and the phases) for each sample of the chunk, then the taps' reads and the line's writes,
  // in which no sample waits for the one before.
  float4 bases[kChunk];
  float4 phases[kChunk];
  for (int first = 0; first < n; first += kChunk) {
    const int count = std::min(kChunk, n - first);
    int baseIndex = writeIndex;
    for (int j = 0; j < count; j++) {
      const int i = first + j;
      const float t = dsp::clampNanHigh(time[i], kMinTime, kMaxTime);
      smoothedDelay = dsp::onePoleStep(smoothedDelay, t * sr, timeSmoothing);
      float4 p = dsp::clampNanHigh(float4{pitch[0][i], pitch[1][i], pitch[2][i], pitch[3][i]}, -kMaxRatio, kMaxRatio);
      if (reverse[i] > kReverseThreshold) p = -p;
      ratio = dsp::onePoleStep(ratio, p, pitchSmoothing);
      phase = dsp::advancePhase(phase, (1.0f - ratio) / window);
      phases[j] = phase;
      bases[j] = ((float)baseIndex - 1.0f) - tapNumber * smoothedDelay;
      baseIndex = dsp::nextIndex(baseIndex, len);
    }

    for (int j = 0; j < count; j++) {
      const int i = first + j;
      const float4 y = dsp::twoHeadReadGuarded(buffer, len, bases[j], -window, phases[j]);
      float mix = 0.0f;
      for (int k = 0; k < kTaps; k++) {
        taps[k][i] = y[k];
        mix += y[k] * level[k][i];
      }

      const float fb = dsp::clampNanHigh(feedback[i], 0.0f, kMaxFeedback);
      const float x = dsp::clampNanHigh(y[kTaps - 1] * fb, -kFeedbackDrive, kFeedbackDrive);
      dsp::writeGuarded(buffer, len, writeIndex, in[i] + dsp::saturate(x));

      const float beta = dsp::clampNanHigh(blend[i], 0.0f, 1.0f);
      out[i] = in[i] + (mix - in[i]) * beta;
      writeIndex = dsp::nextIndex(writeIndex, len);
    }
  }

  simd_store(mTapRatio, ratio);
  simd_store(mTapPhase, phase);
  mSmoothedDelay = smoothedDelay;
  mWriteIndex = writeIndex;
}

TapDelayStereoMixer::TapDelayStereoMixer() {
  addInput(mDryL);
  addInput(mDryR);
  addInput(mTap1L);
  addInput(mTap1R);
  addInput(mTap2L);
  addInput(mTap2R);
  addInput(mTap3L);
  addInput(mTap3R);
  addInput(mTap4L);
  addInput(mTap4R);
  addInput(mLevel1);
  addInput(mLevel2);
  addInput(mLevel3);
  addInput(mLevel4);
  addInput(mPan1);
  addInput(mPan2);
  addInput(mPan3);
  addInput(mPan4);
  addInput(mBlend);
  addOutput(mOutL);
  addOutput(mOutR);
}

TapDelayStereoMixer::~TapDelayStereoMixer() = default;

void TapDelayStereoMixer::process() {
  constexpr int kTaps = TapDelay::kTaps;
  const int n = dsp::usableFrameLength();
  if (n == 0) return;
  const float *dryL = mDryL.buffer();
  const float *dryR = mDryR.buffer();
  const float *tapL[kTaps] = {mTap1L.buffer(), mTap2L.buffer(), mTap3L.buffer(), mTap4L.buffer()};
  const float *tapR[kTaps] = {mTap1R.buffer(), mTap2R.buffer(), mTap3R.buffer(), mTap4R.buffer()};
  const float *level[kTaps] = {mLevel1.buffer(), mLevel2.buffer(), mLevel3.buffer(), mLevel4.buffer()};
  const float *pan[kTaps] = {mPan1.buffer(), mPan2.buffer(), mPan3.buffer(), mPan4.buffer()};
  const float *blend = mBlend.buffer();
  float *outL = mOutL.buffer();
  float *outR = mOutR.buffer();

  for (int i = 0; i < n; i++) {
    float wetL = 0.0f;
    float wetR = 0.0f;
    for (int k = 0; k < kTaps; k++) {
      // Balance law: the centre keeps both sides at full level; moving towards one side
      // attenuates only the other side, linearly.
      const float q = dsp::clampNanHigh(pan[k][i], -1.0f, 1.0f);
      const float gainL = q > 0.0f ? 1.0f - q : 1.0f;
      const float gainR = q < 0.0f ? 1.0f + q : 1.0f;
      wetL += tapL[k][i] * level[k][i] * gainL;
      wetR += tapR[k][i] * level[k][i] * gainR;
    }
    const float beta = dsp::clampNanHigh(blend[i], 0.0f, 1.0f);
    outL[i] = dryL[i] + (wetL - dryL[i]) * beta;
    outR[i] = dryR[i] + (wetR - dryR[i]) * beta;
  }
}
