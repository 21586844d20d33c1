#pragma once

#include <string>

namespace qvz {

// Prints every class of the library's module (and the host's sources) with its inlets,
// outlets, parameters and options and their defaults, read from freshly made objects.
// With a name, only that class; an unknown name is a Failure.
void listUnits(const std::string &only);

} // namespace qvz
