#include "AllocationCounter.h"

#include <cstdlib>
#include <new>

namespace {
thread_local bool tCounting = false;
thread_local qvztest::AllocationCount tCount;

void *allocate(std::size_t size) {
  if (tCounting) tCount.allocations++;
  if (void *p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}

void *allocateAligned(std::size_t size, std::align_val_t alignment) {
  if (tCounting) tCount.allocations++;
  const std::size_t a = static_cast<std::size_t>(alignment);
  const std::size_t rounded = (size + a - 1) / a * a;
  if (void *p = std::aligned_alloc(a, rounded ? rounded : a)) return p;
  throw std::bad_alloc();
}

void deallocate(void *p) {
  if (!p) return;
  if (tCounting) tCount.frees++;
  std::free(p);
}
} // namespace

void *operator new(std::size_t size) { return allocate(size); }
void *operator new[](std::size_t size) { return allocate(size); }
void *operator new(std::size_t size, std::align_val_t a) { return allocateAligned(size, a); }
void *operator new[](std::size_t size, std::align_val_t a) { return allocateAligned(size, a); }
// The nothrow forms too: left to the runtime (a sanitizer's, say) they would pair its
// allocation with the free below.
void *operator new(std::size_t size, const std::nothrow_t &) noexcept {
  try {
    return allocate(size);
  } catch (const std::bad_alloc &) {
    return nullptr;
  }
}
void *operator new[](std::size_t size, const std::nothrow_t &tag) noexcept { return operator new(size, tag); }
void operator delete(void *p, const std::nothrow_t &) noexcept { deallocate(p); }
void operator delete[](void *p, const std::nothrow_t &) noexcept { deallocate(p); }
void operator delete(void *p) noexcept { deallocate(p); }
void operator delete[](void *p) noexcept { deallocate(p); }
void operator delete(void *p, std::size_t) noexcept { deallocate(p); }
void operator delete[](void *p, std::size_t) noexcept { deallocate(p); }
void operator delete(void *p, std::align_val_t) noexcept { deallocate(p); }
void operator delete[](void *p, std::align_val_t) noexcept { deallocate(p); }
void operator delete(void *p, std::size_t, std::align_val_t) noexcept { deallocate(p); }
void operator delete[](void *p, std::size_t, std::align_val_t) noexcept { deallocate(p); }

namespace qvztest {

AllocationCounter::AllocationCounter() {
  tCount = AllocationCount{};
  tCounting = true;
}

AllocationCounter::~AllocationCounter() { tCounting = false; }

AllocationCount AllocationCounter::stop() {
  tCounting = false;
  return tCount;
}

} // namespace qvztest
