#include "PitchShifter.h"

#include <dsp/Clamp.h>
#include <dsp/DelayLine.h>
#include <dsp/Frame.h>
#include <dsp/OnePole.h>
#include <dsp/SpliceSearch.h>
#include <dsp/TwoHeadReader.h>
#include <od/FloatBlock.h>
#include <od/simd.h>

#include <cmath>

namespace {
// Sweep of each head and the largest splice offset: 40 ms (the float 0.0399999991).
constexpr float kSweepSeconds = 0.04f;
// Speed smoothing: time constant 3 ms.
constexpr float kSpeedRate = 1.0f / 0.003f;
// Playback-rate ratios are limited to +-4.
constexpr float kSpeedLimit = 4.0f;
} // namespace

PitchShifter::PitchShifter() {
  addInput(mIn);
  addOutput(mOut);
  addInput(mBlend);
  addInput(mSpeed1);
  addInput(mSpeed2);
  addInput(mSpeed3);

  const float sr = (float)sampleRate();
  mMaxLag = dsp::truncToInt(kSweepSeconds * sr);
  mLineLength = 2 * mMaxLag + 8;
  mWindowLength = kSweepSeconds * sr;
  mSmoothing = dsp::onePoleCoefficient(kSpeedRate, sr);
  mMemory = od::FloatBlock(mLineLength);
  mLine = mMemory.data();
}

PitchShifter::~PitchShifter() = default;

void PitchShifter::setVoiceCount(int n) {
  mVoiceCount = n <= 0 ? 1 : (n < kMaxVoices ? n : kMaxVoices);
  mVoiceGain = 1.0f / (float)mVoiceCount;
  mVoices = Voices();
}

int PitchShifter::getVoiceCount() const { return mVoiceCount; }

// Where a wrapping head lands: the splice search over this unit's line.
float PitchShifter::searchSplice(float phaseX, float offsetY, float phaseY) const {
  return dsp::spliceSearch(mLine, mLineLength, mWriteIndex, mWindowLength, mMaxLag, phaseX, offsetY, phaseY);
}

void PitchShifter::process() {
  const int n = dsp::usableFrameLength();
  if (n == 0) return;
  const float *in = mIn.buffer();
  const float *blend = mBlend.buffer();
  const float *speeds[kMaxVoices] = {mSpeed1.buffer(), mSpeed2.buffer(), mSpeed3.buffer()};
  float *out = mOut.buffer();

  if (!mMemory) {
    for (int j = 0; j < n; j++) out[j] = in[j];
    return;
  }

  // The voices run as the lanes of vectors, each lane with the arithmetic of one voice; the
  // splice searches, rare, run voice by voice.
  const int voiceCount = mVoiceCount;
  const float voiceGain = mVoiceGain;
  const float window = mWindowLength;
  const float inverseWindow = 1.0f / window;
  // Phases stay in [0, 1] and speeds within +-4, so with a window of 10 samples or more a
  // step |1 - speed| / window is about 0.5 at most and every phase sum lies in [-1, 2).
  const bool smallSteps = window >= 10.0f;
  const float smoothing = mSmoothing;
  const int len = mLineLength;
  float *line = mLine;
  int writeIndex = mWriteIndex;
  float4 speed = simd_load(mVoices.speed);
  float4 phaseA = simd_load(mVoices.phaseA);
  float4 phaseB = simd_load(mVoices.phaseB);
  float4 offsetA = simd_load(mVoices.offsetA);
  float4 offsetB = simd_load(mVoices.offsetB);

  for (int j = 0; j < n; j++) {
    const float x = in[j];
    line[writeIndex] = x;
    if (mFilled < len) mFilled++;

    const float4 target = float4{speeds[0][j], speeds[1][j], speeds[2][j], 1.0f};
    speed = dsp::onePoleStep(speed, dsp::clampNanHigh(target, -kSpeedLimit, kSpeedLimit), smoothing);
    const float4 inc = (1.0f - speed) * inverseWindow;
    const float4 hA = phaseA + inc;
    const float4 hB = phaseB + inc;
    phaseA = hA - (smallSteps ? dsp::floorNearUnit(hA) : dsp::floorLanes(hA));
    phaseB = hB - (smallSteps ? dsp::floorNearUnit(hB) : dsp::floorLanes(hB));
    if (mFilled >= len) {
      const auto wrappedA = hA < 0.0f || hA >= 1.0f;
      const auto wrappedB = hB < 0.0f || hB >= 1.0f;
      const auto wrapped = wrappedA || wrappedB;
      if (wrapped[0] || (voiceCount > 1 && wrapped[1]) || (voiceCount > 2 && wrapped[2])) {
        mWriteIndex = writeIndex;
        for (int k = 0; k < voiceCount; k++) {
          if (wrappedA[k]) offsetA[k] = searchSplice(phaseA[k], offsetB[k], phaseB[k]);
          if (wrappedB[k]) offsetB[k] = searchSplice(phaseB[k], offsetA[k], phaseA[k]);
        }
      }
    }
    // Each head at writeIndex - 1 - offset - phase * window, wrapped once and interpolated.
    const float newest = (float)writeIndex - 1.0f;
    const float4 a = dsp::readLinearWrapped(line, len, newest - offsetA - phaseA * window);
    const float4 b = dsp::readLinearWrapped(line, len, newest - offsetB - phaseB * window);
    const float4 weightB = dsp::absLanes(2.0f * phaseA - 1.0f);
    const float4 voice = b * weightB + a * (1.0f - weightB);

    float sum = 0.0f;
    for (int k = 0; k < voiceCount; k++) sum += voice[k];
    const float wet = sum * voiceGain;
    out[j] = x + (wet - x) * dsp::clampNanHigh(blend[j], 0.0f, 1.0f);
    writeIndex = dsp::nextIndex(writeIndex, len);
  }

  mWriteIndex = writeIndex;
  simd_store(mVoices.speed, speed);
  simd_store(mVoices.phaseA, phaseA);
  simd_store(mVoices.phaseB, phaseB);
  simd_store(mVoices.offsetA, offsetA);
  simd_store(mVoices.offsetB, offsetB);
}
