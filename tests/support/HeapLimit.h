#pragma once

#include <od/BigHeap.h>

namespace qvztest {

// Limits od::BigHeap for a scope and lifts the limit after, also when an assertion ends a test early.
struct HeapLimit {
  explicit HeapLimit(long long bytes) { od::BigHeap::setLimit(bytes); }
  ~HeapLimit() { od::BigHeap::setLimit(-1); }
  HeapLimit(const HeapLimit &) = delete;
  HeapLimit &operator=(const HeapLimit &) = delete;
};

} // namespace qvztest
