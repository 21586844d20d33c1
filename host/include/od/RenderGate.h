#pragma once

#include <atomic>
#include <mutex>
#include <thread>

namespace od {

// Keeps changes made from any thread (a new sample, delay memory sized or cleared) apart from
// the frames an audio thread renders, without ever making the audio thread wait.
//
// process() holds a Frame for the whole frame and touches the guarded state only when the
// frame found the gate open. A change holds a Change: it waits for earlier changes to finish,
// closes the gate (frames that start now render without the guarded state), waits out a
// frame already in flight, and opens the gate again when it ends.
class RenderGate {
public:
  class Frame {
  public:
    explicit Frame(RenderGate &gate) : mGate(gate) {
      mGate.mRendering.store(true);
      mOpen = mGate.mOpen.load();
    }
    ~Frame() { mGate.mRendering.store(false); }
    Frame(const Frame &) = delete;
    Frame &operator=(const Frame &) = delete;

    bool open() const { return mOpen; }

  private:
    RenderGate &mGate;
    bool mOpen;
  };

  class Change {
  public:
    explicit Change(RenderGate &gate) : mGate(gate), mLock(gate.mChanges) {
      mGate.mOpen.store(false);
      while (mGate.mRendering.load()) std::this_thread::yield();
    }
    ~Change() { mGate.mOpen.store(true); }
    Change(const Change &) = delete;
    Change &operator=(const Change &) = delete;

  private:
    RenderGate &mGate;
    std::lock_guard<std::mutex> mLock;
  };

private:
  // Both flags are sequentially consistent: a frame either sees the gate closed, or the
  // change sees that frame rendering and waits for it.
  std::atomic<bool> mRendering{false};
  std::atomic<bool> mOpen{true};
  std::mutex mChanges;
};

} // namespace od
