#pragma once

#include <cstdint>

namespace od {

// Deterministic, seedable generator shared by the host and the units.
class Random {
public:
  static void seed(uint32_t seed);
  // A value between low and high (inclusive; rounding may land on high).
  static float generateFloat(float low, float high);
};

} // namespace od
