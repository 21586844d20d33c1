#pragma once

#include <climits>
#include <cmath>

namespace dsp {

// Clamp to [lo, hi]; a NaN input gives lo (comparisons with NaN are false, so it falls through).
inline float clampNanLow(float x, float lo, float hi) {
  if (x > hi) return hi;
  if (x >= lo) return x;
  return lo;
}

// Clamp to [lo, hi]; a NaN input gives hi.
inline float clampNanHigh(float x, float lo, float hi) {
  if (!(x <= hi)) return hi;
  if (x < lo) return lo;
  return x;
}

// Truncation toward zero into int, saturating at the int range; NaN gives 0.
inline int truncToInt(float x) {
  if (std::isnan(x)) return 0;
  if (x >= 2147483648.0f) return INT_MAX;
  if (x <= -2147483648.0f) return INT_MIN;
  return (int)x;
}

} // namespace dsp
