#include "RealtimeGuard.h"

#include <atomic>
#include <cstddef>
#include <cstring>
#include <dlfcn.h>
#include <pthread.h>

// A sanitizer build owns malloc and the lock functions itself.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QVZ_SANITIZER_OWNS_MALLOC 1
#elif defined(__has_feature)
#if __has_feature(realtime_sanitizer)
#define QVZ_SANITIZER_OWNS_MALLOC 1
#endif
#endif

namespace {
thread_local bool tInProcess = false;
thread_local qvzrobust::RealtimeCount tCount;
} // namespace

namespace qvzrobust {

InProcess::InProcess() { tInProcess = true; }
InProcess::~InProcess() { tInProcess = false; }
RealtimeCount realtimeCount() { return tCount; }
void resetRealtimeCount() { tCount = RealtimeCount{}; }

#if QVZ_SANITIZER_OWNS_MALLOC
bool realtimeInterposerActive() { return false; }
#else
bool realtimeInterposerActive() { return true; }
#endif

} // namespace qvzrobust

#if !QVZ_SANITIZER_OWNS_MALLOC

// glibc's own entry points, which the interposed functions forward to.
extern "C" {
void *__libc_malloc(size_t);
void *__libc_calloc(size_t, size_t);
void *__libc_realloc(void *, size_t);
void *__libc_memalign(size_t, size_t);
void __libc_free(void *);
}

namespace {
inline void countAllocation() {
  if (tInProcess) tCount.allocations++;
}

using LockFunction = int (*)(pthread_mutex_t *);

// The C library's lock functions, looked up once (no function-local statics: their guard may lock).
std::atomic<LockFunction> gNextLock{nullptr};
std::atomic<LockFunction> gNextTryLock{nullptr};

LockFunction next(std::atomic<LockFunction> &slot, const char *name) {
  LockFunction f = slot.load(std::memory_order_acquire);
  if (!f) {
    f = reinterpret_cast<LockFunction>(dlsym(RTLD_NEXT, name));
    slot.store(f, std::memory_order_release);
  }
  return f;
}
} // namespace

extern "C" {

void *malloc(size_t size) {
  countAllocation();
  return __libc_malloc(size);
}

void *calloc(size_t count, size_t size) {
  countAllocation();
  return __libc_calloc(count, size);
}

void *realloc(void *p, size_t size) {
  countAllocation();
  return __libc_realloc(p, size);
}

void *memalign(size_t alignment, size_t size) {
  countAllocation();
  return __libc_memalign(alignment, size);
}

void *aligned_alloc(size_t alignment, size_t size) {
  countAllocation();
  return __libc_memalign(alignment, size);
}

int posix_memalign(void **out, size_t alignment, size_t size) {
  countAllocation();
  if (alignment < sizeof(void *) || (alignment & (alignment - 1)) != 0) return 22; // EINVAL
  void *p = __libc_memalign(alignment, size);
  if (!p) return 12; // ENOMEM
  *out = p;
  return 0;
}

void free(void *p) {
  if (p && tInProcess) tCount.frees++;
  __libc_free(p);
}

int pthread_mutex_lock(pthread_mutex_t *mutex) {
  if (tInProcess) tCount.locks++;
  return next(gNextLock, "pthread_mutex_lock")(mutex);
}

int pthread_mutex_trylock(pthread_mutex_t *mutex) {
  if (tInProcess) tCount.locks++;
  return next(gNextTryLock, "pthread_mutex_trylock")(mutex);
}

} // extern "C"

#endif
