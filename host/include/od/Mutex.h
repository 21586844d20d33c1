#pragma once

#include <mutex>

#if defined(__has_feature)
#if __has_feature(realtime_sanitizer)
#include <sanitizer/rtsan_interface.h>
#define OD_REALTIME_CHECKS 1
#endif
#endif

namespace od {

// The lock a custom unit holds while its chain is processed or rewired.
class Mutex {
public:
  Mutex() = default;
  Mutex(const Mutex &) = delete;
  Mutex &operator=(const Mutex &) = delete;

  void enter() { mMutex.lock(); }
  bool tryEnter() { return mMutex.try_lock(); }
  void leave() { mMutex.unlock(); }

  // The frame lock: a chain's process() holds it for a whole frame so that the chain is never
  // rewired mid-frame (the WetDryUnit frame lock). It is the one lock the audio path may take,
  // so the real-time checks are suspended for these two calls, and only for them.
  void enterFrame() {
    RealtimeChecksOff off;
    mMutex.lock();
  }
  void leaveFrame() {
    RealtimeChecksOff off;
    mMutex.unlock();
  }

  // Holds the mutex for the lifetime of the scope.
  class Scope {
  public:
    explicit Scope(Mutex &mutex) : mMutex(mutex) { mMutex.enter(); }
    ~Scope() { mMutex.leave(); }
    Scope(const Scope &) = delete;
    Scope &operator=(const Scope &) = delete;

  private:
    Mutex &mMutex;
  };

private:
#if OD_REALTIME_CHECKS
  using RealtimeChecksOff = __rtsan::ScopedDisabler;
#else
  struct RealtimeChecksOff {
    RealtimeChecksOff() {} // user-provided: a guard variable, not an unused one
  };
#endif

  std::mutex mMutex;
};

} // namespace od
