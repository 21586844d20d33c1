#pragma once

// The splice search of the pitch shifter: where a wrapping read head should land so that it
// continues the other head's value, slope and curvature.

#include <dsp/Clamp.h>
#include <dsp/DelayLine.h>
#include <dsp/Lanes.h>
#include <od/simd.h>

#include <cmath>

namespace dsp {

// Score weights of the slope and curvature mismatch.
constexpr float kSpliceSlopeWeight = 4.0f;
constexpr float kSpliceCurvatureWeight = 2.0f;
// Candidates scored per pass of the fast search, and the lanes 0..3 as ints.
constexpr int kSpliceSearchChunk = 256;
const int4 kSpliceLaneIndex = {0, 1, 2, 3};

// What both searches start from: the offset dX of the wrapping head, the last candidate
// (none to search when 0 or less), the write position w and the other head's value, slope and
// curvature.
struct SpliceStart {
  float dX;
  int lags;
  float w = 0.0f, r0 = 0.0f, slope = 0.0f, curvature = 0.0f;
};

inline SpliceStart spliceStart(const float *line, int len, int writeIndex, float windowLength, int maxLag,
                               float phaseX, float offsetY, float phaseY) {
  SpliceStart s{phaseX * windowLength, 0};
  s.lags = truncToInt((float)len - (s.dX + 1.0f) - 4.0f);
  if (s.lags > maxLag) s.lags = maxLag;
  if (s.lags <= 0) return s;
  s.w = (float)writeIndex;
  const float referenceStart = s.w - (offsetY + phaseY * windowLength + 1.0f);
  s.r0 = readLinearWrapped(line, len, referenceStart);
  const float r1 = readLinearWrapped(line, len, referenceStart - 1.0f);
  const float r2 = readLinearWrapped(line, len, referenceStart - 2.0f);
  s.slope = s.r0 - r1;
  s.curvature = s.r0 - 2.0f * r1 + r2;
  return s;
}

// The search on a line of len samples written up to writeIndex - 1, with a window of
// windowLength samples and offsets up to maxLag.
//
// Candidates k = 0 ... K put the wrapped head at writeIndex - (dX + 1 + k); each is scored
// against the other head's value, slope and curvature over three consecutive samples, and
// the first lowest score wins. At most maxLag + 1 candidates of three reads each.
//
// Four candidates run as the lanes of vectors. Each candidate's first read sits at
// start(k) = w - (dX + 1 + k); its second and third reads, at start(k) - 1 and start(k) - 2,
// are almost always the exact float positions start(k + 1) and start(k + 2), so one pass reads
// every start position once and the scoring takes the three values from there. Where a
// position differs in any bit (rounding), that candidate's reads are made at its own
// positions, so every score, and the pick, is the one spliceSearchReference computes.
inline float spliceSearch(const float *line, int len, int writeIndex, float windowLength, int maxLag, float phaseX,
                          float offsetY, float phaseY) {
  const SpliceStart from = spliceStart(line, len, writeIndex, windowLength, maxLag, phaseX, offsetY, phaseY);
  if (from.lags <= 0) return 0.0f;
  const int lags = from.lags;
  const float dX = from.dX, w = from.w, r0 = from.r0;
  const float referenceSlope = from.slope, referenceCurvature = from.curvature;


  const float base = dX + 1.0f;
  const int lastStart = lags + 2; // the start position of the last read
  float4 bestScore = simd_set(INFINITY);
  int4 bestK = {0, 0, 0, 0};
  alignas(16) float position[kSpliceSearchChunk + 12];
  alignas(16) float value[kSpliceSearchChunk + 12];

  for (int first = 0; first <= lags; first += kSpliceSearchChunk) {
    const int count = lags + 1 - first < kSpliceSearchChunk ? lags + 1 - first : kSpliceSearchChunk;
    // Start positions and their values for first ... first + count + 1 (beyond lags + 2 the
    // lanes repeat position lags + 2, which stays inside the line).
    for (int m = 0; m < count + 8; m += 4) {
      int4 k = first + m + kSpliceLaneIndex;
      k = k > lastStart ? lastStart : k;
      const float4 start = w - (base + floatLanes(k));
      simd_store(position + m, start);
      simd_store(value + m, readLinearWrappedDescending(line, len, start));
    }
    for (int m = 0; m < count; m += 4) {
      const int4 k = first + m + kSpliceLaneIndex;
      const auto valid = k <= lags;
      const float4 start = simd_load(position + m);
      float4 c0 = simd_load(value + m);
      float4 c1 = simd_load(value + m + 1);
      float4 c2 = simd_load(value + m + 2);
      const int4 shared = (bitsOf(start - 1.0f) == bitsOf(simd_load(position + m + 1)) &&
                          bitsOf(start - 2.0f) == bitsOf(simd_load(position + m + 2))) ||
                         !valid;
      if (!allLanes(shared)) {
        // Every lane read at its own positions (the shared lanes read the same samples).
        c1 = readLinearWrapped(line, len, start - 1.0f);
        c2 = readLinearWrapped(line, len, start - 2.0f);
      }
      const float4 valueDiff = c0 - r0;
      const float4 slope = (c0 - c1) - referenceSlope;
      const float4 curvature = (c0 - 2.0f * c1 + c2) - referenceCurvature;
      const float4 score = valueDiff * valueDiff + kSpliceSlopeWeight * slope * slope + kSpliceCurvatureWeight * curvature * curvature;
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

// The reference the fast search is tested against: candidate by candidate, three reads each
// at w - (dX + 1 + k) - 0, 1, 2, scored against the other head, the first lowest score winning.
inline float spliceSearchReference(const float *line, int len, int writeIndex, float windowLength, int maxLag,
                                   float phaseX, float offsetY, float phaseY) {
  const SpliceStart from = spliceStart(line, len, writeIndex, windowLength, maxLag, phaseX, offsetY, phaseY);
  if (from.lags <= 0) return 0.0f;
  const int lags = from.lags;
  const float dX = from.dX, w = from.w, r0 = from.r0;
  const float referenceSlope = from.slope, referenceCurvature = from.curvature;
  int best = 0;
  float bestScore = INFINITY;
  for (int k = 0; k <= lags; k++) {
    const float start = w - (dX + 1.0f + (float)k);
    const float c0 = readLinearWrapped(line, len, start);
    const float c1 = readLinearWrapped(line, len, start - 1.0f);
    const float c2 = readLinearWrapped(line, len, start - 2.0f);
    const float value = c0 - r0;
    const float slope = (c0 - c1) - referenceSlope;
    const float curvature = (c0 - 2.0f * c1 + c2) - referenceCurvature;
    const float score = value * value + kSpliceSlopeWeight * slope * slope + kSpliceCurvatureWeight * curvature * curvature;
    if (score < bestScore) {
      bestScore = score;
      best = k;
    }
  }
  return (float)best;
}

} // namespace dsp
