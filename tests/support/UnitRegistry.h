#pragma once

// Every audio class registers a factory here from its family's test file under its described
// name (its ports, ranges and defaults come from its description), so the shared sweeps
// (bounded output, silence, determinism, no allocation) cover all of them.

#include <od/Description.h>
#include <od/Object.h>

#include <functional>
#include <string>
#include <vector>

namespace qvztest {

struct UnitEntry {
  std::string name;
  std::function<od::Object *()> make; // a new object (not yet attached)
  float tailSeconds;                  // how long silence in takes to give silence out
  const od::ClassDescription *description; // the class's description (null: not described)
};

std::vector<UnitEntry> &unitRegistry();

struct RegisterUnit {
  RegisterUnit(const std::string &name, std::function<od::Object *()> make, float tailSeconds = 0.0f) {
    unitRegistry().push_back({name, std::move(make), tailSeconds, od::findDescription(name.c_str())});
  }
};

} // namespace qvztest

#define QVZ_CONCAT_INNER(a, b) a##b
#define QVZ_CONCAT(a, b) QVZ_CONCAT_INNER(a, b)
// Registers an audio class for the shared sweeps.
#define QVZ_REGISTER_UNIT(name, ...) \
  static qvztest::RegisterUnit QVZ_CONCAT(qvzRegisteredUnit, __LINE__)(name, __VA_ARGS__)
