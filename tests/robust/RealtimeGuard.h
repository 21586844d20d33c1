#pragma once

// Counts heap calls (malloc, calloc, realloc, aligned allocation, free) and mutex locks
// made by the current thread while it is inside a unit's process(). The test binary
// interposes those C library functions; under a sanitizer, which owns them, it does not.

namespace qvzrobust {

struct RealtimeCount {
  long allocations = 0;
  long frees = 0;
  long locks = 0;
};

// True when the interposer is built in (not under a sanitizer).
bool realtimeInterposerActive();

// Marks the current thread as inside process() for the guard's lifetime.
class InProcess {
public:
  InProcess();
  ~InProcess();
  InProcess(const InProcess &) = delete;
  InProcess &operator=(const InProcess &) = delete;
};

// What the current thread has done inside process() since the last reset.
RealtimeCount realtimeCount();
void resetRealtimeCount();

} // namespace qvzrobust
