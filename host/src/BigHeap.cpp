#include <od/BigHeap.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

namespace od {

namespace {

// Each block starts with a header that remembers its size, padded to keep the payload aligned.
struct alignas(16) BlockHeader {
  size_t bytes;
};

std::mutex gHeapMutex;
size_t gInUse = 0;
long long gLimit = -1;
int gRefuseCountdown = 0;
int gAllocations = 0;

} // namespace

char *BigHeap::allocateZeroed(int bytes) {
  if (bytes <= 0) return nullptr;
  std::lock_guard<std::mutex> lock(gHeapMutex);
  gAllocations++;
  if (gRefuseCountdown > 0 && --gRefuseCountdown == 0) return nullptr;
  const size_t size = (size_t)bytes;
  if (gLimit >= 0 && gInUse + size > (size_t)gLimit) return nullptr;
  void *raw = std::calloc(1, sizeof(BlockHeader) + size);
  if (!raw) return nullptr;
  static_cast<BlockHeader *>(raw)->bytes = size;
  gInUse += size;
  return static_cast<char *>(raw) + sizeof(BlockHeader);
}

void BigHeap::free(char *block) {
  if (!block) return;
  void *raw = block - sizeof(BlockHeader);
  std::lock_guard<std::mutex> lock(gHeapMutex);
  gInUse -= static_cast<BlockHeader *>(raw)->bytes;
  std::free(raw);
}

void BigHeap::setLimit(long long bytes) {
  std::lock_guard<std::mutex> lock(gHeapMutex);
  gLimit = bytes < 0 ? -1 : bytes;
}

long long BigHeap::limit() {
  std::lock_guard<std::mutex> lock(gHeapMutex);
  return gLimit;
}

size_t BigHeap::inUse() {
  std::lock_guard<std::mutex> lock(gHeapMutex);
  return gInUse;
}

void BigHeap::refuseNth(int n) {
  std::lock_guard<std::mutex> lock(gHeapMutex);
  gRefuseCountdown = n > 0 ? n : 0;
}

int BigHeap::allocationCount() {
  std::lock_guard<std::mutex> lock(gHeapMutex);
  return gAllocations;
}

} // namespace od
