#pragma once

#include <climits>
#include <cmath>

#include <od/simd.h>

namespace dsp {

// Clamp to [lo, hi]; a NaN input gives lo (comparisons with NaN are false, so it falls through).
inline float clampNanLow(float x, float lo, float hi) {
  if (x > hi) return hi;
  if (x >= lo) return x;
  return lo;
}

// clampNanLow on each lane.
inline float4 clampNanLow(float4 x, float lo, float hi) {
  const float4 inRange = x >= lo ? x : simd_set(lo);
  return x > hi ? simd_set(hi) : inRange;
}

// Clamp to [lo, hi]; a NaN input gives hi.
inline float clampNanHigh(float x, float lo, float hi) {
  if (!(x <= hi)) return hi;
  if (x < lo) return lo;
  return x;
}

// clampNanHigh on each lane.
inline float4 clampNanHigh(float4 x, float lo, float hi) {
  const float4 aboveLow = x < lo ? simd_set(lo) : x;
  return x <= hi ? aboveLow : simd_set(hi);
}

// Truncation toward zero into int, saturating at the int range; NaN gives 0.
inline int truncToInt(float x) {
  if (std::isnan(x)) return 0;
  if (x >= 2147483648.0f) return INT_MAX;
  if (x <= -2147483648.0f) return INT_MIN;
  return (int)x;
}

} // namespace dsp

namespace dsp {

// The value when it is finite, else 0: what a recursive memory (a delay line fed back, a
// filter state) stores, so that one NaN or infinity in cannot ring on for ever.
inline float finiteOrZero(float x) { return std::isfinite(x) ? x : 0.0f; }

// finiteOrZero, and 0 below kSilentState in size: a recursive state that decays toward
// silence lands on 0 instead of running on in subnormal numbers where the host does not
// flush them.
constexpr float kSilentState = 1e-20f;
inline float finiteAudibleOrZero(float x) { return std::isfinite(x) && std::fabs(x) >= kSilentState ? x : 0.0f; }

} // namespace dsp
