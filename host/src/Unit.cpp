#include <od/Unit.h>

#include <algorithm>
#include <mutex>

namespace od {

namespace {
struct LiveUnits {
  std::mutex mutex;
  std::vector<Unit *> units;
};
LiveUnits &registry() {
  static LiveUnits live;
  return live;
}
} // namespace

Unit::Unit(const std::string &name, int channelCount)
    : mName(name), mChannelCount(std::clamp(channelCount, 0, kMaxChannels)) {
  mInputs.resize(mChannelCount);
  mOutputs.resize(mChannelCount, nullptr);
  LiveUnits &live = registry();
  std::lock_guard<std::mutex> lock(live.mutex);
  live.units.push_back(this);
}

Unit::~Unit() {
  {
    LiveUnits &live = registry();
    std::lock_guard<std::mutex> lock(live.mutex);
    live.units.erase(std::find(live.units.begin(), live.units.end(), this));
  }
  disconnect();
  for (Object *object : mObjects) object->release();
  for (Object *object : mHeld) object->release();
}

void Unit::process() {
  for (Object *object : mObjects) {
    object->updateParameters();
    object->process();
  }
}

void Unit::collectObjects(std::vector<Object *> &objects) const {
  objects.insert(objects.end(), mObjects.begin(), mObjects.end());
  objects.insert(objects.end(), mHeld.begin(), mHeld.end());
}

std::vector<Unit *> Unit::liveUnits() {
  LiveUnits &live = registry();
  std::lock_guard<std::mutex> lock(live.mutex);
  return live.units;
}

bool Unit::addObject(Object *object) {
  if (!object) return false;
  if (std::find(mObjects.begin(), mObjects.end(), object) != mObjects.end()) return true;
  object->attach();
  mObjects.push_back(object);
  return true;
}

void Unit::hold(Object *object) {
  if (std::find(mHeld.begin(), mHeld.end(), object) != mHeld.end()) return;
  object->attach();
  mHeld.push_back(object);
}

bool Unit::addInput(int index, Object *object, const std::string &inletName) {
  if (index < 0 || index >= kMaxPorts || !object) return false;
  Inlet *inlet = object->getInput(inletName);
  if (!inlet) return false;
  hold(object);
  if (index >= (int)mInputs.size()) mInputs.resize(index + 1);
  std::vector<Inlet *> &inlets = mInputs[index];
  if (std::find(inlets.begin(), inlets.end(), inlet) == inlets.end()) inlets.push_back(inlet);
  return true;
}

bool Unit::setOutput(int index, Object *object, const std::string &outletName) {
  if (index < 0 || index >= kMaxPorts || !object) return false;
  Outlet *outlet = object->getOutput(outletName);
  if (!outlet) return false;
  hold(object);
  if (index >= (int)mOutputs.size()) mOutputs.resize(index + 1, nullptr);
  mOutputs[index] = outlet;
  return true;
}

const std::vector<Inlet *> &Unit::getInputs(int index) const {
  static const std::vector<Inlet *> kNone;
  return index >= 0 && index < (int)mInputs.size() ? mInputs[index] : kNone;
}

Outlet *Unit::getOutput(int index) const {
  return index >= 0 && index < (int)mOutputs.size() ? mOutputs[index] : nullptr;
}

bool Unit::connectInput(int index, Outlet *outlet) {
  if (index < 0 || index >= (int)mInputs.size()) return false;
  for (Inlet *inlet : mInputs[index]) {
    if (outlet) inlet->connect(outlet);
    else inlet->disconnect();
  }
  return true;
}

void Unit::connect(Unit *from, Unit *to) {
  if (!from || !to) return;
  const int count = std::min(from->getOutputCount(), to->getInputCount());
  for (int i = 0; i < count; i++) {
    Outlet *outlet = from->getOutput(i);
    if (!outlet) continue;
    for (Inlet *inlet : to->getInputs(i)) inlet->connect(outlet);
  }
}

void Unit::disconnect() {
  for (std::vector<Inlet *> &inlets : mInputs)
    for (Inlet *inlet : inlets) inlet->disconnect();
}

} // namespace od
