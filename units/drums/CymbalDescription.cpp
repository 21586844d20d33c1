#include <od/Description.h>

namespace {
using namespace od;

constexpr PortDescription kPorts[] = {
    triggerInlet("Trig", "a rise through 0.5 strikes the cymbal"),
    audioOutlet("Out", "drum signal"),
    controlInlet("Tune", "frequency", "Hz", 0, rateFraction(0.45), 380, "base of the six square oscillators; negative holds"),
    controlInlet("Decay", "time", "s", 0.2, 5, 1.5, "long decay time constant"),
    controlInlet("Tone", "frequency", "Hz", 1500, 8000, 5000, "resonator frequency (at most 0.45 x rate)"),
    controlInlet("Sizzle", "level", "", 0, 1, 0.5, "level of the high-passed noise"),
};
} // namespace

extern const od::ClassDescription CymbalDescription = {
    "Cymbal",
    od::Family::Drums,
    "cymbal: ring-modulated squares, a resonator and sizzle noise",
    7.5,
    "about five Decay time constants after the last strike",
    "",
    "",
    false,
    od::ports(kPorts),
};
