#pragma once

#include <cstddef>

namespace od {

// The host's heap for large blocks (delay lines). Blocks come zero-filled; a refused
// request returns null. Limits and refusals can be imposed for testing.
class BigHeap {
public:
  static char *allocateZeroed(int bytes);
  static void free(char *block);

  // Largest total of bytes handed out at once; negative means no limit.
  static void setLimit(long long bytes);
  static long long limit();
  static size_t inUse();
  // Refuses the n-th allocation from now (1 = the next one); 0 turns it off.
  static void refuseNth(int n);
  static int allocationCount();
};

} // namespace od
