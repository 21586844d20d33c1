#pragma once

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace od {

// Flush-to-zero and denormals-are-zero for the lifetime of the guard, as the host sets
// them while it processes frames; the previous mode comes back afterwards.
class DenormalGuard {
public:
  DenormalGuard() {
#if defined(__SSE__)
    mSaved = _mm_getcsr();
    _mm_setcsr(mSaved | kFlushToZero | kDenormalsAreZero);
#endif
  }
  ~DenormalGuard() {
#if defined(__SSE__)
    _mm_setcsr(mSaved);
#endif
  }
  DenormalGuard(const DenormalGuard &) = delete;
  DenormalGuard &operator=(const DenormalGuard &) = delete;

private:
  static constexpr unsigned kFlushToZero = 0x8000;
  static constexpr unsigned kDenormalsAreZero = 0x0040;
  unsigned mSaved = 0;
};

} // namespace od
