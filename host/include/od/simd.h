#pragma once

// The host's 4-lane float vector and its vector functions. Lanes are computed with the
// single-precision maths library, so each lane is exactly what the scalar function gives.

#include <cmath>
#include <cstring>

typedef float float4 __attribute__((vector_size(16)));

inline float4 simd_set(float v) { return float4{v, v, v, v}; }

inline float4 simd_load(const float *p) {
  float4 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline void simd_store(float *p, float4 v) { std::memcpy(p, &v, sizeof v); }

// 1 / x per lane (IEEE division).
inline float4 simd_invert(float4 x) { return simd_set(1.0f) / x; }

// sin(x) per lane, x in radians (sinf).
inline float4 simd_sin(float4 x) {
  return float4{sinf(x[0]), sinf(x[1]), sinf(x[2]), sinf(x[3])};
}

// e^x per lane (expf).
inline float4 simd_exp(float4 x) {
  return float4{expf(x[0]), expf(x[1]), expf(x[2]), expf(x[3])};
}

// Grain window over phases 0..0.5: sin(2*pi*p), 0 at both ends and 1 at 0.25.
inline float4 simd_sine_env(float4 p) {
  const float twoPi = 6.28318530718f;
  return simd_sin(p * twoPi);
}

// Hanning grain window over phases 0..0.5: sin^2(2*pi*p) = 0.5 - 0.5*cos(4*pi*p).
inline float4 simd_hanning(float4 p) {
  const float fourPi = 12.5663706144f;
  const float4 x = p * fourPi;
  return simd_set(0.5f) - simd_set(0.5f) * float4{cosf(x[0]), cosf(x[1]), cosf(x[2]), cosf(x[3])};
}

// The quadratic through oldest (x = -1), previous (x = 0) and newest (x = 1), at x = |f|:
// fraction 0 returns previous, and the value moves toward newest in the direction of play.
inline float4 simd_quadratic_interpolate_with_return(float4 newest, float4 previous, float4 oldest,
                                                     float4 f) {
  const float4 x = f < 0.0f ? -f : f;
  const float4 half = simd_set(0.5f);
  const float4 slope = (newest - oldest) * half;
  const float4 curve = (newest + oldest) * half - previous;
  return previous + x * (slope + x * curve);
}
