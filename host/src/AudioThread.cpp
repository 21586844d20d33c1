#include <od/AudioThread.h>
#include <od/config.h>

#include <atomic>
#include <cstdint>

namespace od {

namespace {

constexpr int kWordBits = 64;
constexpr int kWords = AudioThread::kPoolSize / kWordBits;
static_assert(AudioThread::kPoolSize % kWordBits == 0, "pool size must fill whole words");

alignas(16) float gPool[AudioThread::kPoolSize][kMaxFrameLength];
std::atomic<uint64_t> gTaken[kWords];

} // namespace

float *AudioThread::getFrame() {
  for (int w = 0; w < kWords; w++) {
    uint64_t taken = gTaken[w].load(std::memory_order_relaxed);
    while (~taken) {
      const int bit = __builtin_ctzll(~taken);
      if (gTaken[w].compare_exchange_weak(taken, taken | (1ull << bit), std::memory_order_acquire))
        return gPool[w * kWordBits + bit];
    }
  }
  return nullptr;
}

void AudioThread::releaseFrame(float *frame) {
  if (!frame) return;
  const long index = (frame - &gPool[0][0]) / kMaxFrameLength;
  if (index < 0 || index >= kPoolSize) return;
  gTaken[index / kWordBits].fetch_and(~(1ull << (index % kWordBits)), std::memory_order_release);
}

int AudioThread::framesInUse() {
  int count = 0;
  for (int w = 0; w < kWords; w++) count += __builtin_popcountll(gTaken[w].load());
  return count;
}

} // namespace od
