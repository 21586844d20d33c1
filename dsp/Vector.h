#pragma once

// The vector operations the lane helpers are built on, each spelled once: conversions between
// float and int lanes, a lane's bits, a lane shuffle and a mask test. GCC and clang both build
// them from these builtins; everything else uses the helpers, never the builtins.

#include <od/simd.h>

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dsp {

// Four int lanes: indices, and the masks that comparisons give (-1 true, 0 false).
typedef int int4 __attribute__((vector_size(16)));

// (int) on each lane: truncation toward zero.
inline int4 truncateLanes(float4 x) { return __builtin_convertvector(x, int4); }
// (float) on each lane.
inline float4 floatLanes(int4 x) { return __builtin_convertvector(x, float4); }

// The bits of each lane, for comparisons that tell -0 from 0 and match a NaN with itself,
// and the lanes those bits stand for.
inline int4 bitsOf(float4 x) { return (int4)x; }
inline float4 fromBits(int4 bits) { return (float4)bits; }
// The sign bit of each lane (all other bits clear).
inline int4 signBits(float4 x) { return bitsOf(x) & bitsOf(simd_set(-0.0f)); }

// The lanes in reverse order: {x[3], x[2], x[1], x[0]}.
inline float4 reversedLanes(float4 x) { return __builtin_shufflevector(x, x, 3, 2, 1, 0); }

// Two adjacent floats from each of two places, one 8-byte load each: {p[0], p[1], q[0], q[1]}.
inline float4 loadPairs(const float *p, const float *q) {
  typedef double double2 __attribute__((vector_size(16)));
  double first, second;
  std::memcpy(&first, p, sizeof first);
  std::memcpy(&second, q, sizeof second);
  return (float4)double2{first, second};
}

// The even and the odd lanes of two vectors: {x[0], x[2], y[0], y[2]}, {x[1], x[3], y[1], y[3]}.
inline float4 evenLanes(float4 x, float4 y) { return __builtin_shufflevector(x, y, 0, 2, 4, 6); }
inline float4 oddLanes(float4 x, float4 y) { return __builtin_shufflevector(x, y, 1, 3, 5, 7); }

// True when every lane of a comparison mask is true.
inline bool allLanes(int4 mask) {
#if defined(__SSE2__)
  return _mm_movemask_ps((__m128)mask) == 0xF;
#else
  return (mask[0] & mask[1] & mask[2] & mask[3]) != 0;
#endif
}

} // namespace dsp
