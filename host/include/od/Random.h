#pragma once

#include <atomic>
#include <cstdint>

namespace od {

// One stream of the deterministic, seedable generator. A running context (a render, a
// plug-in instance, a live patch) owns one, so that the noise of its units does not depend
// on what else runs in the process.
class RandomSource {
public:
  static constexpr uint32_t kDefaultSeed = 0x12345678u;

  explicit RandomSource(uint32_t seed = kDefaultSeed) { this->seed(seed); }
  RandomSource(const RandomSource &) = delete;
  RandomSource &operator=(const RandomSource &) = delete;

  // 0 stands for the default seed.
  void seed(uint32_t seed) { mState.store(seed ? seed : kDefaultSeed, std::memory_order_relaxed); }
  // A value between low and high (inclusive; rounding may land on high).
  float generateFloat(float low, float high);

private:
  std::atomic<uint32_t> mState;
};

// The generator the host and the units draw from: the source of the context running on the
// calling thread, or the process-wide source where no context was entered.
class Random {
public:
  static void seed(uint32_t seed) { current().seed(seed); }
  static float generateFloat(float low, float high) { return current().generateFloat(low, high); }

  static RandomSource &current();

  // Makes `source` the current one on this thread while the scope lives. A host enters its
  // context's source around everything it runs for that context (building a patch,
  // processing frames); scopes nest. Nothing here allocates or locks.
  class Scope {
  public:
    explicit Scope(RandomSource &source);
    ~Scope();
    Scope(const Scope &) = delete;
    Scope &operator=(const Scope &) = delete;

  private:
    RandomSource *mPrevious;
  };
};

} // namespace od
