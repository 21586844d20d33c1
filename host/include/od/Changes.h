#pragma once

#include <atomic>
#include <cstdint>

namespace od {

class Object;
class Inlet;
class Parameter;
class Option;

// Settings changed from Lua while the patch they belong to plays. The thread that runs Lua
// queues each change (holding the object that owns the setting), the audio thread applies
// what is queued at the start of its next frame and notes that frame, and the Lua thread
// then lets go of the holds, so no object is ever destroyed on the audio thread. Lock-free:
// one thread queues and collects, one applies.
class ChangeQueue {
public:
  static constexpr int kCapacity = 1024; // changes in flight at once

  ChangeQueue() = default;
  ~ChangeQueue(); // lets go of every hold still queued
  ChangeQueue(const ChangeQueue &) = delete;
  ChangeQueue &operator=(const ChangeQueue &) = delete;

  // Lua thread; false (nothing queued) when kCapacity changes are still in flight.
  bool setConstant(Inlet &inlet, float value);
  bool setParameter(Parameter &parameter, float value, bool hard);
  bool setOption(Option &option, int value);

  // Audio thread: applies everything queued, noting the frame; returns how many.
  int apply(uint64_t frame);

  // Lua thread: lets go of the applied changes; returns how many, with the frame the last
  // of them landed on.
  int collect(uint64_t &lastFrame);

  // The queue Lua's setters on this thread send their changes to; null while they apply
  // directly. Structural changes (wiring, memory, samples) are refused while there is one.
  static ChangeQueue *active();

  // Makes a queue the active one on this thread for its lifetime.
  class Scope {
  public:
    explicit Scope(ChangeQueue &queue);
    ~Scope();
    Scope(const Scope &) = delete;
    Scope &operator=(const Scope &) = delete;

  private:
    ChangeQueue *mPrevious;
  };

private:
  enum class Kind : uint8_t { Constant, Target, Value, Choice };
  struct Change {
    Kind kind;
    void *setting;
    Object *owner;
    float value;
    int choice;
    uint64_t frame;
  };
  bool push(Kind kind, void *setting, Object *owner, float value, int choice);

  Change mRing[kCapacity];
  std::atomic<uint64_t> mQueued{0};  // written by the Lua thread
  std::atomic<uint64_t> mApplied{0}; // written by the audio thread
  uint64_t mCollected = 0;           // Lua thread only
};

} // namespace od
