#include <od/Description.h>

namespace {
using namespace od;

constexpr PortDescription kPorts[] = {
    triggerInlet("Trig", "a rise through 0.5 strikes the drum"),
    audioOutlet("Out", "drum signal"),
    controlInlet("Tune", "frequency", "Hz", 0, rateFraction(0.45), 180, "body pitch (overtone at 1.83 x), read every sample; negative holds"),
    controlInlet("Decay", "time", "s", 0.03, 1.5, 0.3, "body decay time constant"),
    controlInlet("Snap", "level", "", 0, 1, 0.6, "level of the noise wires"),
    controlInlet("Tone", "frequency", "Hz", 500, 9000, 3000, "noise low-pass corner (at most 0.45 x rate)"),
};
} // namespace

extern const od::ClassDescription SnareDescription = {
    "Snare",
    od::Family::Drums,
    "snare: two tuned sines and high-passed noise wires, saturated",
    1.5,
    "about five Decay time constants after the last strike",
    "",
    "",
    false,
    od::ports(kPorts),
};
