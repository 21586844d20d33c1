#pragma once

// The splice search of the pitch shifter: where a wrapping read head should land so that it
// continues the other head's value, slope and curvature.

#include <dsp/Clamp.h>
#include <dsp/DelayLine.h>
#include <dsp/Lanes.h>
#include <od/simd.h>

#include <cmath>
#include <cstring>

namespace dsp {

// Score weights of the slope and curvature mismatch.
constexpr float kSpliceSlopeWeight = 4.0f;
constexpr float kSpliceCurvatureWeight = 2.0f;
// Candidates of the fast search per block at most, the fewest a block is halved to, and the
// lanes 0..3 as ints.
constexpr int kSpliceBlock = 128;
constexpr int kSpliceSmallestBlock = 8;
const int4 kSpliceLaneIndex = {0, 1, 2, 3};
// How far below the sample of a block's last start position the fill of its values reads: on
// to the end of the vector the scoring reads last.
constexpr int kSpliceFillReach = 6;

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

// The exponent bits of a float (0 for 0). Floats with field e lie on the grid 2^(e - 150),
// and a multiple of that grid below 2^(e - 126) in size is a float of field e or lower.
inline int exponentField(float x) {
  int bits;
  std::memcpy(&bits, &x, sizeof bits);
  return (bits >> 23) & 0xff;
}

// Whether the floats x(j) = fl(y(j)), j = j0 ... j1, move by exactly 1 per step, where the
// y(j) move by exactly 1 per step, all one way, keep one sign and lie on the grid
// 2^(grid - 150), 1/2 or finer; x0 and x1 are the two ends. Either both ends lie in one binade:
// every x(j) is then y(j) rounded to that binade's grid, and a step of 1, an even number of
// grid steps, moves the rounded value by exactly 1 (ties included); or neither end lies above
// the grid's binade: nothing rounds, the ends bounding the values between. On return grid is
// the grid the x(j) lie on.
inline bool movesByWholeSteps(float x0, float x1, int &grid) {
  const int e0 = exponentField(x0), e1 = exponentField(x1);
  if (e0 != e1 && (e0 > grid || e1 > grid)) return false;
  grid = e0 > grid ? e0 : grid;
  grid = e1 > grid ? e1 : grid;
  return true;
}

// Where candidate j's first read lands: sum(j) = base + j, start(j) = w - sum(j), and start(j)
// wrapped once into the line.
struct SpliceRead {
  float sum, start, wrapped;
};

inline SpliceRead spliceRead(float w, float base, int j, int len) {
  const float sum = base + (float)j;
  const float start = w - sum;
  return {sum, start, wrapReadPosition(start, len)};
}

// True when the start positions of j0 ... j1 (a and b) fall by exactly 1 from one to the next,
// reading consecutive samples at one fraction: sum(j), start(j) and the wrapped position each
// move by whole steps (start keeping one sign, so all or none wrap; w and j are whole numbers,
// and every position far below 2^22), and every sample read, and its neighbour, lies in
// kSpliceFillReach ... len - 1.
inline bool spliceReadsRunEvenly(float base, const SpliceRead &a, const SpliceRead &b, int len) {
  int grid = exponentField(base);
  return movesByWholeSteps(a.sum, b.sum, grid) && (a.start < 0.0f) == (b.start < 0.0f) &&
         movesByWholeSteps(a.start, b.start, grid) && movesByWholeSteps(a.wrapped, b.wrapped, grid) &&
         truncToInt(b.wrapped) >= kSpliceFillReach && truncToInt(a.wrapped) + 1 < len;
}

// The search on a line of len samples written up to writeIndex - 1, with a window of
// windowLength samples and offsets up to maxLag.
//
// Candidates k = 0 ... K put the wrapped head at writeIndex - (dX + 1 + k); each is scored
// against the other head's value, slope and curvature over three consecutive samples, and
// the first lowest score wins. At most maxLag + 1 candidates of three reads each.
//
// Four candidates run as the lanes of vectors, a block of them at a time. Each candidate's
// first read sits at start(k) = w - (dX + 1 + k); its second and third reads, at start(k) - 1
// and start(k) - 2, are almost always the exact float positions start(k + 1) and start(k + 2),
// so a block reads every start position once and the scoring takes the three values from
// there. Where a block's positions run evenly (spliceReadsRunEvenly; a block that does not is
// halved, down to a few vectors) all share one fraction and the values come straight from
// consecutive samples; elsewhere every position is computed and read on its own, and where a
// candidate's second or third position differs in any bit (rounding) from the next start, its
// reads are made at its own positions. So every score is the one spliceSearchReference
// computes; and as each block's lowest score is taken only when below every earlier block's,
// at its first candidate, so is the pick, ties included.
inline float spliceSearch(const float *line, int len, int writeIndex, float windowLength, int maxLag, float phaseX,
                          float offsetY, float phaseY) {
  const SpliceStart from = spliceStart(line, len, writeIndex, windowLength, maxLag, phaseX, offsetY, phaseY);
  if (from.lags <= 0) return 0.0f;
  const int lags = from.lags;
  const float dX = from.dX, w = from.w, r0 = from.r0;
  const float referenceSlope = from.slope, referenceCurvature = from.curvature;

  const float base = dX + 1.0f;
  const float lastStart = (float)(lags + 2); // the candidate of the last start position read
  int best = 0;
  float bestScore = INFINITY;
  // A block's values by candidate (first reads), where rounding moved them the second and
  // third reads, and its scores.
  alignas(16) float value[kSpliceBlock + 12];
  alignas(16) float position[kSpliceBlock + 12];
  alignas(16) float second[kSpliceBlock + 12];
  alignas(16) float third[kSpliceBlock + 12];
  alignas(16) float scores[kSpliceBlock + 4];

  for (int first = 0, count; first <= lags; first += count) {
    // The block's candidates read start positions first ... first + count + 1. Halved (to
    // whole vectors) while those do not run evenly, down to the smallest block.
    count = lags + 1 - first < kSpliceBlock ? lags + 1 - first : kSpliceBlock;
    const SpliceRead head = spliceRead(w, base, first, len);
    bool even = spliceReadsRunEvenly(base, head, spliceRead(w, base, first + count + 1, len), len);
    while (!even && count > kSpliceSmallestBlock) {
      count = (count / 2 + 3) & ~3;
      even = spliceReadsRunEvenly(base, head, spliceRead(w, base, first + count + 1, len), len);
    }
    const float *c1s = value + 1;
    const float *c2s = value + 2;
    if (even) {
      // Sample n0 - j and its neighbour at the one fraction, for j = 0 ... count + 1 and on
      // to the end of the vector the scoring reads last.
      const int n0 = truncToInt(head.wrapped);
      const float f = head.wrapped - (float)n0;
      for (int m = 0; m < count + 5; m += 4) {
        const float4 a = simd_load(line + n0 - m - 3);
        const float4 b = simd_load(line + n0 - m - 2);
        simd_store(value + m, reversedLanes(a + (b - a) * f));
      }
    } else {
      // Start positions and their values for first ... first + count + 1 (beyond lags + 2 the
      // lanes repeat position lags + 2, which stays inside the line).
      for (int m = 0; m < count + 8; m += 4) {
        const float4 k = floatLanes(first + m + kSpliceLaneIndex);
        const float4 start = w - (base + (k > lastStart ? lastStart : k));
        simd_store(position + m, start);
        simd_store(value + m, readLinearWrappedDescending(line, len, start));
      }
      for (int m = 0; m < count; m += 4) {
        const float4 start = simd_load(position + m);
        float4 c1 = simd_load(value + m + 1);
        float4 c2 = simd_load(value + m + 2);
        const int4 shared = (bitsOf(start - 1.0f) == bitsOf(simd_load(position + m + 1)) &&
                             bitsOf(start - 2.0f) == bitsOf(simd_load(position + m + 2))) ||
                            first + m + kSpliceLaneIndex > lags;
        if (!allLanes(shared)) {
          // Every lane read at its own positions (the shared lanes read the same samples).
          c1 = readLinearWrapped(line, len, start - 1.0f);
          c2 = readLinearWrapped(line, len, start - 2.0f);
        }
        simd_store(second + m, c1);
        simd_store(third + m, c2);
      }
      c1s = second;
      c2s = third;
    }

    // Every score of the block (lanes past its end none) and the lowest; where that is below
    // every earlier block's, its first candidate is the best so far.
    const auto scoreOf = [&](int m) {
      const float4 c0 = simd_load(value + m);
      const float4 c1 = simd_load(c1s + m);
      const float4 c2 = simd_load(c2s + m);
      const float4 valueDiff = c0 - r0;
      const float4 slope = (c0 - c1) - referenceSlope;
      const float4 curvature = (c0 - 2.0f * c1 + c2) - referenceCurvature;
      return valueDiff * valueDiff + kSpliceSlopeWeight * slope * slope + kSpliceCurvatureWeight * curvature * curvature;
    };
    float4 lowest = simd_set(INFINITY);
    const int whole = count & ~3;
    for (int m = 0; m < whole; m += 4) {
      const float4 score = scoreOf(m);
      simd_store(scores + m, score);
      lowest = score < lowest ? score : lowest; // a NaN score leaves the lowest as it is
    }
    if (whole < count) {
      const float4 score = whole + kSpliceLaneIndex < count ? scoreOf(whole) : simd_set(INFINITY);
      simd_store(scores + whole, score);
      lowest = score < lowest ? score : lowest;
    }
    const float lowest01 = lowest[0] < lowest[1] ? lowest[0] : lowest[1];
    const float lowest23 = lowest[2] < lowest[3] ? lowest[2] : lowest[3];
    const float blockLowest = lowest01 < lowest23 ? lowest01 : lowest23;
    if (blockLowest < bestScore) {
      bestScore = blockLowest;
      int m = 0;
      while (scores[m] != blockLowest) m++;
      best = first + m;
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
