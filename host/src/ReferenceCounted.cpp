#include <od/ReferenceCounted.h>

namespace od {

namespace {
std::atomic<int> gLiveObjects{0};
}

ReferenceCounted::Tracker::Tracker() { gLiveObjects.fetch_add(1, std::memory_order_relaxed); }
ReferenceCounted::Tracker::~Tracker() { gLiveObjects.fetch_sub(1, std::memory_order_relaxed); }

int ReferenceCounted::liveCount() { return gLiveObjects.load(std::memory_order_relaxed); }

void ReferenceCounted::release() {
  if (mReferenceCount.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
}

void ReferenceCounted::attachLua() {
  mLuaReferenceCount.fetch_add(1, std::memory_order_relaxed);
  attach();
}

void ReferenceCounted::releaseLua() {
  mLuaReferenceCount.fetch_sub(1, std::memory_order_relaxed);
  release();
}

} // namespace od
