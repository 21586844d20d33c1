#pragma once

// Lane helpers for the host's float4: exact floor, abs and select per lane (the int lanes,
// shuffles, pair loads and mask tests are in dsp/Vector.h). Each lane gives exactly what the
// scalar function gives.

#include <dsp/Vector.h>

namespace dsp {

// floorf on each lane for |x| < 2^31: the truncation (with the sign of x, so -0 stays -0),
// less 1 where it lies above x.
inline float4 floorLanes(float4 x) {
  const float4 truncated = floatLanes(truncateLanes(x));
  const float4 t = fromBits(bitsOf(truncated) | signBits(x));
  return t > x ? t - 1.0f : t;
}

// floorf on each lane for x in [-1, 2): -1, 0 with the sign of x, or 1. Fewer steps than
// floorLanes, for phases advanced by less than one cycle.
inline float4 floorNearUnit(float4 x) {
  const float4 signedZero = fromBits(signBits(x));
  const float4 belowOne = x < 0.0f ? simd_set(-1.0f) : signedZero;
  return x >= 1.0f ? simd_set(1.0f) : belowOne;
}

// mask ? a : b on each lane, the bits of the chosen value unchanged (mask lanes -1 or 0).
inline float4 selectLanes(int4 mask, float4 a, float4 b) { return fromBits((bitsOf(a) & mask) | (bitsOf(b) & ~mask)); }

// fabsf on each lane: the sign bit cleared.
inline float4 absLanes(float4 x) { return fromBits(bitsOf(x) & ~bitsOf(simd_set(-0.0f))); }

// finiteOrZero on each lane: NaN and the infinities give 0.
inline float4 finiteOrZero(float4 x) { return absLanes(x) <= 3.4028235e38f ? x : simd_set(0.0f); }

} // namespace dsp
