#pragma once

#include <atomic>

namespace od {

// An object lives while any holder remains: C++ holders use attach()/release(),
// the Lua side attachLua()/releaseLua(). The last release deletes the object.
class ReferenceCounted {
public:
  ReferenceCounted() = default;
  ReferenceCounted(const ReferenceCounted &) = delete;
  ReferenceCounted &operator=(const ReferenceCounted &) = delete;
  virtual ~ReferenceCounted() = default;

  void attach() { mReferenceCount.fetch_add(1, std::memory_order_relaxed); }
  void release();
  void attachLua();
  void releaseLua();

  int referenceCount() const { return mReferenceCount.load(std::memory_order_relaxed); }
  int luaReferenceCount() const { return mLuaReferenceCount.load(std::memory_order_relaxed); }

  // Number of ReferenceCounted objects alive in the process (for leak checks).
  static int liveCount();

protected:
  struct Tracker {
    Tracker();
    ~Tracker();
  } mTracker;

private:
  std::atomic<int> mReferenceCount{0};
  std::atomic<int> mLuaReferenceCount{0};
};

} // namespace od
