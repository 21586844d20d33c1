#include "PitchShifter.h"

#include <dsp/Clamp.h>
#include <dsp/DelayLine.h>
#include <dsp/OnePole.h>
#include <dsp/TwoHeadReader.h>
#include <od/BigHeap.h>
#include <od/simd.h>

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

  const float sr = (float)sampleRate();
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
  mVoices = Voices();
}

int PitchShifter::getVoiceCount() const { return mVoiceCount; }

namespace {
// Candidates scored per pass of the splice search, and the lanes 0..3 as ints.
constexpr int kSearchChunk = 256;
const dsp::int4 kLaneIndex = {0, 1, 2, 3};
} // namespace

// Candidates k = 0 ... K put the wrapped head at writeIndex - (dX + 1 + k); each is scored
// against the other head's value, slope and curvature over three consecutive samples, and
// the first lowest score wins. At most maxLag + 1 candidates of three reads each.
//
// Four candidates run as the lanes of vectors. Each candidate's first read sits at
// start(k) = w - (dX + 1 + k); its second and third reads, at start(k) - 1 and start(k) - 2,
// are almost always the exact float positions start(k + 1) and start(k + 2), so one pass reads
// every start position once and the scoring takes the three values from there. Where a
// position differs in any bit (rounding), that candidate's reads are made at its own
// positions, so every score is the one the scalar loop computes.
float PitchShifter::searchSplice(float phaseX, float offsetY, float phaseY) const {
  return searchSpliceIn(mLine, mLineLength, mWriteIndex, mWindowLength, mMaxLag, phaseX, offsetY, phaseY);
}

float PitchShifter::searchSpliceIn(const float *line, int len, int writeIndex, float windowLength, int maxLag,
                                   float phaseX, float offsetY, float phaseY) {
  const float dX = phaseX * windowLength;
  int lags = dsp::truncToInt((float)len - (dX + 1.0f) - 4.0f);
  if (lags > maxLag) lags = maxLag;
  if (lags <= 0) return 0.0f;

  const float w = (float)writeIndex;
  const float referenceStart = w - (offsetY + phaseY * windowLength + 1.0f);
  const float r0 = dsp::readLinearWrapped(line, len, referenceStart);
  const float r1 = dsp::readLinearWrapped(line, len, referenceStart - 1.0f);
  const float r2 = dsp::readLinearWrapped(line, len, referenceStart - 2.0f);
  const float referenceSlope = r0 - r1;
  const float referenceCurvature = r0 - 2.0f * r1 + r2;

  const float base = dX + 1.0f;
  const int lastStart = lags + 2; // the start position of the last read
  float4 bestScore = simd_set(INFINITY);
  dsp::int4 bestK = {0, 0, 0, 0};
  alignas(16) float position[kSearchChunk + 12];
  alignas(16) float value[kSearchChunk + 12];

  for (int first = 0; first <= lags; first += kSearchChunk) {
    const int count = lags + 1 - first < kSearchChunk ? lags + 1 - first : kSearchChunk;
    // Start positions and their values for first ... first + count + 1 (beyond lags + 2 the
    // lanes repeat position lags + 2, which stays inside the line).
    for (int m = 0; m < count + 8; m += 4) {
      dsp::int4 k = first + m + kLaneIndex;
      k = k > lastStart ? lastStart : k;
      const float4 start = w - (base + __builtin_convertvector(k, float4));
      simd_store(position + m, start);
      simd_store(value + m, dsp::readLinearWrappedDescending(line, len, start));
    }
    for (int m = 0; m < count; m += 4) {
      const dsp::int4 k = first + m + kLaneIndex;
      const auto valid = k <= lags;
      const float4 start = simd_load(position + m);
      float4 c0 = simd_load(value + m);
      float4 c1 = simd_load(value + m + 1);
      float4 c2 = simd_load(value + m + 2);
      const dsp::int4 shared = (dsp::bitsOf(start - 1.0f) == dsp::bitsOf(simd_load(position + m + 1)) &&
                                dsp::bitsOf(start - 2.0f) == dsp::bitsOf(simd_load(position + m + 2))) ||
                               !valid;
      if (!dsp::allLanes(shared)) {
        // Every lane read at its own positions (the shared lanes read the same samples).
        c1 = dsp::readLinearWrapped(line, len, start - 1.0f);
        c2 = dsp::readLinearWrapped(line, len, start - 2.0f);
      }
      const float4 valueDiff = c0 - r0;
      const float4 slope = (c0 - c1) - referenceSlope;
      const float4 curvature = (c0 - 2.0f * c1 + c2) - referenceCurvature;
      const float4 score = valueDiff * valueDiff + kSlopeWeight * slope * slope + kCurvatureWeight * curvature * curvature;
      const auto better = score < bestScore && valid;
      bestScore = better ? score : bestScore;
      bestK = better ? k : bestK;
    }
  }

  // Each lane holds its first lowest score; the lowest of those, the first on a tie, wins.
  int best = 0;
  float lowest = INFINITY;
  for (int lane = 0; lane < 4; lane++) {
    if (bestScore[lane] < lowest || (bestScore[lane] == lowest && lowest < INFINITY && bestK[lane] < best)) {
      lowest = bestScore[lane];
      best = bestK[lane];
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
