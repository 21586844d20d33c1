#include <od/CustomUnit.h>

#include <algorithm>

namespace od {

namespace {
// True when `unit` is `container` or lies anywhere inside its chain.
bool reaches(const Unit *container, const Unit *unit) {
  if (container == unit) return true;
  const CustomUnit *custom = dynamic_cast<const CustomUnit *>(container);
  if (!custom) return false;
  for (int i = 0; i < custom->getUnitCount(); i++)
    if (reaches(custom->getUnit(i), unit)) return true;
  return false;
}
} // namespace

CustomUnit::CustomUnit(const std::string &name, int channelCount) : Unit(name, channelCount) {}

CustomUnit::~CustomUnit() {
  // A contained unit that another holder keeps must not keep its chain neighbours wired.
  for (Unit *unit : mUnits) unit->disconnect();
  for (Unit *unit : mUnits) unit->release();
}

void CustomUnit::process() {
  mMutex.enterFrame();
  if (isEnabled()) Unit::process();
  for (Unit *unit : mUnits)
    if (unit->isEnabled()) unit->process();
  mMutex.leaveFrame();
}

void CustomUnit::collectObjects(std::vector<Object *> &objects) const {
  Unit::collectObjects(objects);
  for (Unit *unit : mUnits) unit->collectObjects(objects);
}

void CustomUnit::connectUnits() {
  for (size_t i = 1; i < mUnits.size(); i++) Unit::connect(mUnits[i - 1], mUnits[i]);
}

void CustomUnit::disconnectUnits() {
  for (Unit *unit : mUnits) unit->disconnect();
}

bool CustomUnit::addUnit(Unit *unit) {
  // A unit that already contains this one would make the chain run itself.
  if (!unit || reaches(unit, this)) return false;
  if (std::find(mUnits.begin(), mUnits.end(), unit) != mUnits.end()) return false;
  unit->attach();
  Mutex::Scope lock(mMutex);
  disconnectUnits();
  mUnits.push_back(unit);
  connectUnits();
  return true;
}

void CustomUnit::rewire() {
  Mutex::Scope lock(mMutex);
  disconnectUnits();
  connectUnits();
}

Unit *CustomUnit::getUnit(int index) const {
  return index >= 0 && index < (int)mUnits.size() ? mUnits[index] : nullptr;
}

} // namespace od
