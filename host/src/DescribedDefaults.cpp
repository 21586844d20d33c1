#include <od/DescribedDefaults.h>

namespace od {

void applyDescribedDefaults(Object &object, const ClassDescription &description) {
  for (int i = 0; i < object.inputCount(); i++) {
    Inlet *inlet = object.getInput(i);
    if (inlet->isConnected()) continue;
    if (const PortDescription *port = description.find(inlet->name().c_str(), PortKind::Inlet))
      inlet->setConstant((float)port->defaultValue);
  }
}

bool applyDescribedDefaults(Object &object, const char *className) {
  const ClassDescription *description = findDescription(className);
  if (description) applyDescribedDefaults(object, *description);
  return description != nullptr;
}

} // namespace od
