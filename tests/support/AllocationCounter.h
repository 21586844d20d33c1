#pragma once

// Counts heap allocations and frees made by the current thread while counting is on.
// The test binary replaces the global operator new/delete to do this.

namespace qvztest {

struct AllocationCount {
  long allocations = 0;
  long frees = 0;
};

// Counts what happens on this thread between construction and stop().
class AllocationCounter {
public:
  AllocationCounter();
  ~AllocationCounter();
  AllocationCount stop();
};

} // namespace qvztest
