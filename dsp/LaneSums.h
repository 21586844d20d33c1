#pragma once

// Sums of lanes in a fixed order, for per-voice or per-tap work run as the four lanes of a
// vector whose results a scalar loop added one by one: the same additions in the same order
// give the same float.

#include <od/simd.h>

namespace dsp {

// (((sum + x[0]) + x[1]) + x[2]) + x[3]: what `for (j = 0; j < 4; j++) sum += x[j]` gives.
inline float addLanesInOrder(float sum, float4 x) {
  sum += x[0];
  sum += x[1];
  sum += x[2];
  sum += x[3];
  return sum;
}

} // namespace dsp
