#pragma once

namespace dsp {

// Rational saturator x(27 + x^2) / (27 + 9x^2): odd, reaches +-1 with zero slope at +-3.
// Callers limit the input first (+-1.5, +-1.7, +-3) where their algorithm says so.
inline float saturate(float x) {
  const float x2 = x * x;
  return x * (27.0f + x2) / (27.0f + 9.0f * x2);
}

} // namespace dsp
