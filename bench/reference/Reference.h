#pragma once

// Reference kernels: the arithmetic of a unit written as one plain scalar loop over arrays,
// with its options fixed as the benchmark sets them and nothing else around it (no ports, no
// parameters, no memory checks). A unit should cost no more than 1.3 times its kernel.

#include "BenchRegistry.h"

#include <cmath>
#include <memory>

namespace qvzbench {

constexpr double kReferenceTarget = 1.3;

// Inputs arrive in the unit's inlet order, driven as the unit's inlets are.
template <typename K> CompareEntry reference(const char *unit, int channels, int outputs) {
  return CompareEntry{unit, CompareKind::Reference, "reference kernel", channels, {}, outputs, kReferenceTarget,
                      [](float sampleRate) { return std::unique_ptr<Kernel>(new K(sampleRate)); }};
}

// Coefficient of a one-pole step for a rate a (1 / time constant): 1 - e^(-a / sr).
inline float stepFor(float rate, float sampleRate) { return 1.0f - std::exp(-rate / sampleRate); }

inline float clamp(float x, float lo, float hi) { return x > hi ? hi : (x >= lo ? x : lo); }

// x(27 + x^2) / (27 + 9x^2), held at +-1 beyond +-3.
inline float rationalSaturate(float x) {
  if (x >= 3.0f) return 1.0f;
  if (x <= -3.0f) return -1.0f;
  const float x2 = x * x;
  return x * (27.0f + x2) / (27.0f + 9.0f * x2);
}

} // namespace qvzbench
