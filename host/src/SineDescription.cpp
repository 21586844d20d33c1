#include <od/Description.h>

namespace {
using namespace od;

constexpr PortDescription kPorts[] = {
    controlInlet("Frequency", "frequency", "Hz", unclamped(0), unclamped(20000), 440, "oscillator frequency"),
    controlInlet("Level", "gain", "", unclamped(0), unclamped(1), 1, "output amplitude"),
    audioOutlet("Out", "Level x sin(2 pi phase)"),
};
} // namespace

extern const od::ClassDescription SineDescription = {
    "od.Sine", od::Family::Host, "sine oscillator", 0, "", "", "", false, od::ports(kPorts),
};
