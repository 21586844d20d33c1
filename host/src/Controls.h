#pragma once

// Limits shared by the host's building blocks, so every one treats a control the same way.

#include <dsp/Clamp.h>

#include <cmath>

namespace od {

// 2 pi in double, for the building blocks that compute their phase in double.
constexpr double kTwoPi = 6.283185307179586;

// Gains, levels and offsets are limited to +-kLevelLimit; NaN reads as 0.
constexpr float kLevelLimit = 1.0e6f;

inline float levelControl(float x) {
  if (std::isnan(x)) return 0.0f;
  return dsp::clampNanLow(x, -kLevelLimit, kLevelLimit);
}

} // namespace od
