#include <od/Random.h>

#include <atomic>

namespace od {

namespace {
constexpr uint32_t kDefaultSeed = 0x12345678u;
std::atomic<uint32_t> gState{kDefaultSeed};

// xorshift32: a full-period generator for any non-zero state.
uint32_t next(uint32_t x) {
  x ^= x << 13;
  x ^= x >> 17;
  x ^= x << 5;
  return x;
}
} // namespace

void Random::seed(uint32_t seed) { gState.store(seed ? seed : kDefaultSeed, std::memory_order_relaxed); }

float Random::generateFloat(float low, float high) {
  uint32_t x = gState.load(std::memory_order_relaxed);
  x = next(x);
  gState.store(x, std::memory_order_relaxed);
  const float unit = (float)(x >> 8) * (1.0f / 16777216.0f); // 24 bits -> [0, 1)
  return low + (high - low) * unit;
}

} // namespace od
