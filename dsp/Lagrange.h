#pragma once

namespace dsp {

// Third-order Lagrange interpolation through y0..y3 at nodes 0..3, evaluated at x
// (x in [1, 2) reads between y1 and y2):
//   h0 = -(x-1)(x-2)(x-3)/6, h1 = x(x-2)(x-3)/2, h2 = -x(x-1)(x-3)/2, h3 = x(x-1)(x-2)/6.
inline float lagrange3(float x, float y0, float y1, float y2, float y3) {
  const float a = x - 1.0f;
  const float b = x - 2.0f;
  const float c = x - 3.0f;
  const float h0 = -a * b * c / 6.0f;
  const float h1 = x * b * c / 2.0f;
  const float h2 = -x * a * c / 2.0f;
  const float h3 = x * a * b / 6.0f;
  return h0 * y0 + h1 * y1 + h2 * y2 + h3 * y3;
}

} // namespace dsp
