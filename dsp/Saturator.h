#pragma once

#include <od/simd.h>

namespace dsp {

// Rational saturator x(27 + x^2) / (27 + 9x^2): odd, reaches +-1 with zero slope at +-3.
// Callers limit the input first (+-1.5, +-1.7, +-3) where their algorithm says so.
inline float saturate(float x) {
  const float x2 = x * x;
  return x * (27.0f + x2) / (27.0f + 9.0f * x2);
}

// saturate on each lane.
inline float4 saturate(float4 x) {
  const float4 x2 = x * x;
  return x * (27.0f + x2) / (27.0f + 9.0f * x2);
}

// The rational saturator continued as +-1 beyond +-3, where the curve meets its limits.
inline float saturateClipped(float x) {
  if (x >= 3.0f) return 1.0f;
  if (x <= -3.0f) return -1.0f;
  return saturate(x);
}

// saturateClipped on each lane.
inline float4 saturateClipped(float4 x) {
  const float4 curve = saturate(x);
  const float4 aboveLow = x <= -3.0f ? simd_set(-1.0f) : curve;
  return x >= 3.0f ? simd_set(1.0f) : aboveLow;
}

} // namespace dsp
