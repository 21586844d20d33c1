#pragma once

#include <od/Object.h>
#include <od/ReferenceCounted.h>

#include <atomic>
#include <string>
#include <vector>

namespace od {

// A group of objects that acts as one processing block: input i is a list of inlets
// of its objects (all fed by the same source), output i is one outlet (or none).
// The unit holds every object it runs or exposes a port of.
class Unit : public ReferenceCounted {
public:
  // Channel counts are limited to 0..kMaxChannels, input and output indices to
  // 0..kMaxPorts - 1, so that a stray number cannot ask for millions of ports.
  static constexpr int kMaxChannels = 64;
  static constexpr int kMaxPorts = 256;

  Unit(const std::string &name, int channelCount);
  ~Unit() override;

  // Runs the unit's objects once, in the order they were added.
  virtual void process() OD_NONBLOCKING;

  // Adds an object to the objects the unit runs; adding one twice changes nothing.
  // False for a null object.
  bool addObject(Object *object);
  // Declares the object's inlet of that name as one more inlet of input i.
  // False (and nothing changes) for an index outside 0..kMaxPorts - 1, a null object or
  // an unknown name.
  bool addInput(int index, Object *object, const std::string &inletName);
  // Declares the object's outlet of that name as output i (replacing what was there).
  bool setOutput(int index, Object *object, const std::string &outletName);

  int getInputCount() const { return (int)mInputs.size(); }
  int getOutputCount() const { return (int)mOutputs.size(); }
  // The inlets of input i; an empty list outside the inputs.
  const std::vector<Inlet *> &getInputs(int index) const;
  // Output i, or null when there is none.
  Outlet *getOutput(int index) const;
  int getObjectCount() const { return (int)mObjects.size(); }

  // Connects every inlet of input i to the outlet (null disconnects them); false when the
  // unit has no input i.
  bool connectInput(int index, Outlet *outlet);
  // Wires output i of `from` to every inlet of input i of `to`, for the indices both have.
  static void connect(Unit *from, Unit *to);
  // Disconnects every inlet of every input.
  void disconnect();

  bool isEnabled() const { return mEnabled.load(std::memory_order_relaxed); }
  void setEnabled(bool enabled) { mEnabled.store(enabled, std::memory_order_relaxed); }
  // A bypassed unit inside a chain is wired from its predecessor but feeds nothing.
  bool isBypassed() const { return mBypassed.load(std::memory_order_relaxed); }
  void setBypassed(bool bypassed) { mBypassed.store(bypassed, std::memory_order_relaxed); }

  const std::string &name() const { return mName; }
  int channelCount() const { return mChannelCount; }

  // Adds every object this unit runs or declares a port of, those of contained units too.
  virtual void collectObjects(std::vector<Object *> &objects) const;

  // Every unit alive in the process; a graph uses it to find which unit runs an object.
  // Call it on the thread that makes and frees units, never from a frame.
  static std::vector<Unit *> liveUnits();

private:
  void hold(Object *object);

  std::string mName;
  int mChannelCount;
  std::vector<Object *> mObjects;            // run by process(), in order
  std::vector<Object *> mHeld;               // one hold per entry, given back on destruction
  std::vector<std::vector<Inlet *>> mInputs; // input i: its inlets
  std::vector<Outlet *> mOutputs;            // output i, or null
  std::atomic<bool> mEnabled{true};
  std::atomic<bool> mBypassed{false};
};

} // namespace od
