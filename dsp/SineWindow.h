#pragma once

#include <od/simd.h>

namespace dsp {

// Sine window B(t) = 16 t(1 - t) / (5 - 4 t(1 - t)) for t in [0, 1]: a rational
// approximation of sin(pi t) that weights crossfading read heads and shapes oscillators.
// (The granular player's windows are the host's exact-sine simd_sine_env and simd_hanning.)
inline float sineWindow(float t) {
  const float u = t * (1.0f - t);
  return 16.0f * u / (5.0f - 4.0f * u);
}

// sineWindow on each lane.
inline float4 sineWindow(float4 t) {
  const float4 u = t * (1.0f - t);
  return 16.0f * u / (5.0f - 4.0f * u);
}

// Sine of a phase in turns, theta in [0, 1), from two half-waves of the window:
// B(2 theta) below one half, -B(2 theta - 1) above. Runs 0 -> 1 -> 0 -> -1 -> 0, exactly 0
// at 0 and 0.5 and exactly +-1 at 0.25 and 0.75.
inline float sineTurns(float theta) {
  return theta < 0.5f ? sineWindow(2.0f * theta) : -sineWindow(2.0f * theta - 1.0f);
}

// sineTurns on each lane.
inline float4 sineTurns(float4 theta) {
  const auto firstHalf = theta < 0.5f;
  const float4 twice = 2.0f * theta;
  const float4 window = sineWindow(firstHalf ? twice : twice - 1.0f);
  return firstHalf ? window : -window;
}

// A phase in turns a quarter turn later: theta + 0.25, less 1 from 1 up.
inline float quarterTurnAhead(float theta) {
  const float ahead = theta + 0.25f;
  return ahead >= 1.0f ? ahead - 1.0f : ahead;
}

// Cosine of a phase in turns: the sine a quarter turn later.
inline float cosineTurns(float theta) { return sineTurns(quarterTurnAhead(theta)); }

} // namespace dsp
