#include <od/Random.h>

namespace od {

namespace {
RandomSource gProcessSource;
// Initial-exec: reading it never allocates, also in a library opened at run time.
thread_local RandomSource *gCurrent __attribute__((tls_model("initial-exec"))) = nullptr;

// xorshift32: a full-period generator for any non-zero state.
uint32_t next(uint32_t x) {
  x ^= x << 13;
  x ^= x >> 17;
  x ^= x << 5;
  return x;
}
} // namespace

float RandomSource::generateFloat(float low, float high) {
  uint32_t x = mState.load(std::memory_order_relaxed);
  x = next(x);
  mState.store(x, std::memory_order_relaxed);
  const float unit = (float)(x >> 8) * (1.0f / 16777216.0f); // 24 bits -> [0, 1)
  return low + (high - low) * unit;
}

RandomSource &Random::current() { return gCurrent ? *gCurrent : gProcessSource; }

Random::Scope::Scope(RandomSource &source) : mPrevious(gCurrent) { gCurrent = &source; }

Random::Scope::~Scope() { gCurrent = mPrevious; }

} // namespace od
