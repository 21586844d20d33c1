#include <od/Changes.h>
#include <od/Object.h>

namespace od {

namespace {
thread_local ChangeQueue *tActive = nullptr;
} // namespace

ChangeQueue *ChangeQueue::active() { return tActive; }

ChangeQueue::Scope::Scope(ChangeQueue &queue) : mPrevious(tActive) { tActive = &queue; }
ChangeQueue::Scope::~Scope() { tActive = mPrevious; }

ChangeQueue::~ChangeQueue() {
  const uint64_t queued = mQueued.load();
  for (; mCollected < queued; mCollected++) mRing[mCollected % kCapacity].owner->release();
}

bool ChangeQueue::push(Kind kind, void *setting, Object *owner, float value, int choice) {
  const uint64_t queued = mQueued.load(std::memory_order_relaxed);
  if (queued - mCollected >= (uint64_t)kCapacity) return false;
  owner->attach();
  mRing[queued % kCapacity] = {kind, setting, owner, value, choice, 0};
  mQueued.store(queued + 1, std::memory_order_release);
  return true;
}

bool ChangeQueue::setConstant(Inlet &inlet, float value) {
  return push(Kind::Constant, &inlet, inlet.owner(), value, 0);
}

bool ChangeQueue::setParameter(Parameter &parameter, float value, bool hard) {
  return push(hard ? Kind::Value : Kind::Target, &parameter, parameter.owner(), value, 0);
}

bool ChangeQueue::setOption(Option &option, int value) {
  return push(Kind::Choice, &option, option.owner(), 0.0f, value);
}

int ChangeQueue::apply(uint64_t frame) {
  const uint64_t queued = mQueued.load(std::memory_order_acquire);
  uint64_t applied = mApplied.load(std::memory_order_relaxed);
  const int count = (int)(queued - applied);
  for (; applied < queued; applied++) {
    Change &change = mRing[applied % kCapacity];
    switch (change.kind) {
    case Kind::Constant: static_cast<Inlet *>(change.setting)->setConstant(change.value); break;
    case Kind::Target: static_cast<Parameter *>(change.setting)->set(change.value); break;
    case Kind::Value: static_cast<Parameter *>(change.setting)->hardSet(change.value); break;
    case Kind::Choice: static_cast<Option *>(change.setting)->set(change.choice); break;
    }
    change.frame = frame;
  }
  mApplied.store(applied, std::memory_order_release);
  return count;
}

int ChangeQueue::collect(uint64_t &lastFrame) {
  const uint64_t applied = mApplied.load(std::memory_order_acquire);
  const int count = (int)(applied - mCollected);
  for (; mCollected < applied; mCollected++) {
    Change &change = mRing[mCollected % kCapacity];
    lastFrame = change.frame;
    change.owner->release();
  }
  return count;
}

} // namespace od
