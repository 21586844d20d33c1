#pragma once

// The vector operations the lane helpers are built on, each spelled once: conversions between
// float and int lanes, a lane's bits, pair loads, lane shuffles and a mask test. GCC and clang
// both build them from these builtins; everything else uses the helpers, never the builtins.

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

// {a[0], a[1], b[0], b[1]}: two neighbouring values from each of two places, one 8-byte load each.
inline float4 pairLanes(const float *a, const float *b) {
  typedef double double2 __attribute__((vector_size(16)));
  double low, high;
  std::memcpy(&low, a, sizeof low);
  std::memcpy(&high, b, sizeof high);
  return (float4)double2{low, high};
}

// The even and the odd lanes of two vectors: {x[0], x[2], y[0], y[2]}, {x[1], x[3], y[1], y[3]}.
inline float4 evenLanes(float4 x, float4 y) { return __builtin_shufflevector(x, y, 0, 2, 4, 6); }
inline float4 oddLanes(float4 x, float4 y) { return __builtin_shufflevector(x, y, 1, 3, 5, 7); }

// The 4x4 block of rows a, b, c, d transposed in place: afterwards a = {a[0], b[0], c[0], d[0]},
// b = {a[1], b[1], c[1], d[1]}, and so on.
inline void transposeLanes(float4 &a, float4 &b, float4 &c, float4 &d) {
  const float4 ab01 = __builtin_shufflevector(a, b, 0, 4, 1, 5);
  const float4 ab23 = __builtin_shufflevector(a, b, 2, 6, 3, 7);
  const float4 cd01 = __builtin_shufflevector(c, d, 0, 4, 1, 5);
  const float4 cd23 = __builtin_shufflevector(c, d, 2, 6, 3, 7);
  a = __builtin_shufflevector(ab01, cd01, 0, 1, 4, 5);
  b = __builtin_shufflevector(ab01, cd01, 2, 3, 6, 7);
  c = __builtin_shufflevector(ab23, cd23, 0, 1, 4, 5);
  d = __builtin_shufflevector(ab23, cd23, 2, 3, 6, 7);
}

// True when every lane of a comparison mask is true.
inline bool allLanes(int4 mask) {
#if defined(__SSE2__)
  return _mm_movemask_ps((__m128)mask) == 0xF;
#else
  return (mask[0] & mask[1] & mask[2] & mask[3]) != 0;
#endif
}

} // namespace dsp
