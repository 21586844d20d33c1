#include <od/Description.h>

namespace {
using namespace od;

constexpr PortDescription kPorts[] = {
    gateInlet("Gate", "a rise starts the attack from the current level, a fall the release"),
    controlInlet("Attack", "time", "s", 0.0005, 60, 0.005, "time to within 1 % of 1 (NaN reads the shortest)"),
    controlInlet("Decay", "time", "s", 0.0005, 60, 0.2, "time to within 1 % of Sustain"),
    controlInlet("Sustain", "level", "", 0, 1, 0.7, "level held while the gate is on (NaN reads 0)"),
    controlInlet("Release", "time", "s", 0.0005, 60, 0.3, "time to within 1 % of 0"),
    audioOutlet("Out", "envelope level, 0 .. 1"),
};
} // namespace

extern const od::ClassDescription EnvelopeDescription = {
    "od.Envelope", od::Family::Host, "ADSR envelope with exponential segments", 0.5, "the release after the gate falls",
    "", "", true, od::ports(kPorts),
};
