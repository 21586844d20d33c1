#pragma once

// Lane helpers for the host's float4: an int lane type, exact floor and abs per lane, and
// tests of a whole comparison mask. Each lane gives exactly what the scalar function gives.

#include <od/simd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dsp {

// Four int lanes: indices, and the masks that comparisons give (-1 true, 0 false).
typedef int int4 __attribute__((vector_size(16)));

// floorf on each lane for |x| < 2^31: the truncation (with the sign of x, so -0 stays -0),
// less 1 where it lies above x.
inline float4 floorLanes(float4 x) {
  const float4 truncated = __builtin_convertvector(__builtin_convertvector(x, int4), float4);
  const int4 signOfX = (int4)x & (int4)simd_set(-0.0f);
  const float4 t = (float4)((int4)truncated | signOfX);
  return t > x ? t - 1.0f : t;
}

// floorf on each lane for x in [-1, 2): -1, 0 with the sign of x, or 1. Fewer steps than
// floorLanes, for phases advanced by less than one cycle.
inline float4 floorNearUnit(float4 x) {
  const float4 signedZero = (float4)((int4)x & (int4)simd_set(-0.0f));
  const float4 belowOne = x < 0.0f ? simd_set(-1.0f) : signedZero;
  return x >= 1.0f ? simd_set(1.0f) : belowOne;
}

// fabsf on each lane: the sign bit cleared.
inline float4 absLanes(float4 x) { return (float4)((int4)x & ~(int4)simd_set(-0.0f)); }

// The lanes in reverse order: {x[3], x[2], x[1], x[0]}.
inline float4 reversedLanes(float4 x) { return __builtin_shufflevector(x, x, 3, 2, 1, 0); }

// The bits of each lane, for comparisons that tell -0 from 0 and match a NaN with itself.
inline int4 bitsOf(float4 x) { return (int4)x; }

// True when every lane of a comparison mask is true.
inline bool allLanes(int4 mask) {
#if defined(__SSE2__)
  return _mm_movemask_ps((__m128)mask) == 0xF;
#else
  return (mask[0] & mask[1] & mask[2] & mask[3]) != 0;
#endif
}

} // namespace dsp
