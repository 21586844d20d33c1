#include "UnitRegistry.h"

namespace qvztest {

std::vector<UnitEntry> &unitRegistry() {
  static std::vector<UnitEntry> registry;
  return registry;
}

} // namespace qvztest
