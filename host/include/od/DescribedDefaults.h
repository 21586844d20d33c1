#pragma once

#include <od/Description.h>
#include <od/Object.h>

namespace od {

// Gives every unconnected inlet of a freshly made object the default its class description
// states, as its constant (the host's choice for unconnected inlets). Parameters and options
// keep the defaults the object gave them. Inlets the description does not know are left alone.
void applyDescribedDefaults(Object &object, const ClassDescription &description);

// The same by class name ("TapDelay", "od.Sine"); false when no such class is described.
bool applyDescribedDefaults(Object &object, const char *className);

} // namespace od
