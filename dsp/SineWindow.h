#pragma once

namespace dsp {

// Sine window B(t) = 16 t(1 - t) / (5 - 4 t(1 - t)) for t in [0, 1]: a rational
// approximation of sin(pi t) that weights crossfading read heads and shapes oscillators.
inline float sineWindow(float t) {
  const float u = t * (1.0f - t);
  return 16.0f * u / (5.0f - 4.0f * u);
}

} // namespace dsp
