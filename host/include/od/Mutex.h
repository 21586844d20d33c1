#pragma once

#include <mutex>

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
  std::mutex mMutex;
};

} // namespace od
