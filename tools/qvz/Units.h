#pragma once

#include <string>

namespace qvz {

struct UnitsSettings {
  std::string only;      // one class ("TapDelay", "od.Sine"), or empty for all
  bool json = false;     // a JSON array for tools instead of the listing
  int sampleRate = 48000; // rate-following limits are stated at this rate
  int frameLength = 128;
};

// Prints every class of the library (in family order) and the host's own objects from their
// descriptions: each port's role, range, unit, default and description line. With a name,
// only that class; an unknown name is a Failure.
void listUnits(const UnitsSettings &settings);

} // namespace qvz
