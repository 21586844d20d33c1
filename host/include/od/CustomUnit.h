#pragma once

#include <od/Mutex.h>
#include <od/Unit.h>

#include <string>
#include <vector>

namespace od {

// A unit that also runs a chain of contained units. The chain is changed only under
// the unit's mutex, which process() holds for a whole frame.
class CustomUnit : public Unit {
public:
  CustomUnit(const std::string &name, int channelCount);
  ~CustomUnit() override;

  // Runs the unit's own objects (when enabled), then every enabled contained unit.
  void process() OD_NONBLOCKING override;
  // Wiring of the chain; the default wires each unit to the next.
  virtual void connectUnits();
  virtual void disconnectUnits();

  // Appends a unit to the chain and rewires it (disconnectUnits, append, connectUnits),
  // holding the mutex throughout. False for a null unit, the unit itself or one already
  // in the chain.
  bool addUnit(Unit *unit);
  // Rewires the chain under the mutex, e.g. after a contained unit's bypass changed.
  void rewire();

  int getUnitCount() const { return (int)mUnits.size(); }
  void collectObjects(std::vector<Object *> &objects) const override;
  Unit *getUnit(int index) const;

protected:
  Mutex mMutex;
  std::vector<Unit *> mUnits; // the chain, in order; each held
};

} // namespace od
