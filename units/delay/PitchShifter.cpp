#include "PitchShifter.h"

#include <dsp/Clamp.h>
#include <dsp/DelayLine.h>
#include <dsp/OnePole.h>
#include <od/BigHeap.h>

#include <cmath>

namespace {
// Sweep of each head and the largest splice offset: 40 ms (the float 0.0399999991).
constexpr float kSweepSeconds = 0.04f;
// Speed smoothing: time constant 3 ms.
constexpr float kSpeedRate = 333.33334f;
// Playback-rate ratios are limited to +-4.
constexpr float kSpeedLimit = 4.0f;
// Splice score weights of the slope and curvature mismatch.
constexpr float kSlopeWeight = 4.0f;
constexpr float kCurvatureWeight = 2.0f;
} // namespace

PitchShifter::PitchShifter() {
  addInput(mIn);
  addOutput(mOut);
  addInput(mBlend);
  addInput(mSpeed1);
  addInput(mSpeed2);
  addInput(mSpeed3);

  const float sr = (float)globalConfig.sampleRate;
  mMaxLag = dsp::truncToInt(kSweepSeconds * sr);
  mLineLength = 2 * mMaxLag + 8;
  mWindowLength = kSweepSeconds * sr;
  mSmoothing = dsp::onePoleCoefficient(kSpeedRate, sr);
  mLine = (float *)od::BigHeap::allocateZeroed(mLineLength * (int)sizeof(float));
}

PitchShifter::~PitchShifter() {
  od::BigHeap::free((char *)mLine);
  mLine = nullptr;
}

void PitchShifter::setVoiceCount(int n) {
  mVoiceCount = n <= 0 ? 1 : (n < kMaxVoices ? n : kMaxVoices);
  mVoiceGain = 1.0f / (float)mVoiceCount;
  for (Voice &voice : mVoices) voice = Voice();
}

int PitchShifter::getVoiceCount() const { return mVoiceCount; }

float PitchShifter::readHead(float offset, float phase) const {
  const float position = (float)mWriteIndex - 1.0f - offset - phase * mWindowLength;
  return dsp::readLinearWrapped(mLine, mLineLength, position);
}

// Candidates k = 0 ... K put the wrapped head at writeIndex - (dX + 1 + k); each is scored
// against the other head's value, slope and curvature over three consecutive samples, and
// the first lowest score wins. At most maxLag + 1 candidates of three reads each.
float PitchShifter::searchSplice(float phaseX, float offsetY, float phaseY) const {
  const float dX = phaseX * mWindowLength;
  int lags = dsp::truncToInt((float)mLineLength - (dX + 1.0f) - 4.0f);
  if (lags > mMaxLag) lags = mMaxLag;
  if (lags <= 0) return 0.0f;

  const float *line = mLine;
  const int len = mLineLength;
  const float w = (float)mWriteIndex;
  const float referenceStart = w - (offsetY + phaseY * mWindowLength + 1.0f);
  const float r0 = dsp::readLinearWrapped(line, len, referenceStart);
  const float r1 = dsp::readLinearWrapped(line, len, referenceStart - 1.0f);
  const float r2 = dsp::readLinearWrapped(line, len, referenceStart - 2.0f);
  const float referenceSlope = r0 - r1;
  const float referenceCurvature = r0 - 2.0f * r1 + r2;

  int best = 0;
  float bestScore = INFINITY;
  for (int k = 0; k <= lags; k++) {
    const float start = w - (dX + 1.0f + (float)k);
    const float c0 = dsp::readLinearWrapped(line, len, start);
    const float c1 = dsp::readLinearWrapped(line, len, start - 1.0f);
    const float c2 = dsp::readLinearWrapped(line, len, start - 2.0f);
    const float value = c0 - r0;
    const float slope = (c0 - c1) - referenceSlope;
    const float curvature = (c0 - 2.0f * c1 + c2) - referenceCurvature;
    const float score = value * value + kSlopeWeight * slope * slope + kCurvatureWeight * curvature * curvature;
    if (score < bestScore) {
      bestScore = score;
      best = k;
    }
  }
  return (float)best;
}

void PitchShifter::process() {
  const int n = globalConfig.frameLength & ~3;
  if (n < 4) return;
  const float *in = mIn.buffer();
  const float *blend = mBlend.buffer();
  const float *speeds[kMaxVoices] = {mSpeed1.buffer(), mSpeed2.buffer(), mSpeed3.buffer()};
  float *out = mOut.buffer();

  if (mLine == nullptr) {
    for (int j = 0; j < n; j++) out[j] = in[j];
    return;
  }

  const int voiceCount = mVoiceCount;
  const float voiceGain = mVoiceGain;
  const float inverseWindow = 1.0f / mWindowLength;

  for (int j = 0; j < n; j++) {
    const float x = in[j];
    mLine[mWriteIndex] = x;
    if (mFilled < mLineLength) mFilled++;
    const bool searching = mFilled >= mLineLength;

    float sum = 0.0f;
    for (int k = 0; k < voiceCount; k++) {
      Voice &v = mVoices[k];
      v.speed = dsp::onePoleStep(v.speed, dsp::clampNanHigh(speeds[k][j], -kSpeedLimit, kSpeedLimit), mSmoothing);
      const float inc = (1.0f - v.speed) * inverseWindow;
      const float hA = v.phaseA + inc;
      const float hB = v.phaseB + inc;
      v.phaseA = hA - floorf(hA);
      v.phaseB = hB - floorf(hB);
      if (searching) {
        if (hA < 0.0f || hA >= 1.0f) v.offsetA = searchSplice(v.phaseA, v.offsetB, v.phaseB);
        if (hB < 0.0f || hB >= 1.0f) v.offsetB = searchSplice(v.phaseB, v.offsetA, v.phaseA);
      }
      const float a = readHead(v.offsetA, v.phaseA);
      const float b = readHead(v.offsetB, v.phaseB);
      const float weightB = fabsf(2.0f * v.phaseA - 1.0f);
      sum += b * weightB + a * (1.0f - weightB);
    }

    const float wet = sum * voiceGain;
    out[j] = x + (wet - x) * dsp::clampNanHigh(blend[j], 0.0f, 1.0f);
    mWriteIndex = dsp::nextIndex(mWriteIndex, mLineLength);
  }
}
