#pragma once

#include <od/simd.h>

namespace dsp {

// Weights of third-order Lagrange interpolation through nodes 0..3 at x (x in [1, 2) reads
// between the second and third node):
//   h0 = -(x-1)(x-2)(x-3)/6, h1 = x(x-2)(x-3)/2, h2 = -x(x-1)(x-3)/2, h3 = x(x-1)(x-2)/6.
struct Lagrange3Weights {
  float h0, h1, h2, h3;
};

inline Lagrange3Weights lagrange3Weights(float x) {
  const float a = x - 1.0f;
  const float b = x - 2.0f;
  const float c = x - 3.0f;
  return {-a * b * c / 6.0f, x * b * c / 2.0f, -x * a * c / 2.0f, x * a * b / 6.0f};
}

// The interpolated value h0 y0 + h1 y1 + h2 y2 + h3 y3 through y0..y3, summed in that order.
inline float lagrange3(float x, float y0, float y1, float y2, float y3) {
  const Lagrange3Weights h = lagrange3Weights(x);
  return h.h0 * y0 + h.h1 * y1 + h.h2 * y2 + h.h3 * y3;
}

// The same sum on four lanes, each lane with its own weights (hk: the weight hk of each lane).
inline float4 lagrange3(float4 h0, float4 h1, float4 h2, float4 h3, float4 y0, float4 y1, float4 y2, float4 y3) {
  return h0 * y0 + h1 * y1 + h2 * y2 + h3 * y3;
}

} // namespace dsp
