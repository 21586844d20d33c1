#include <od/Description.h>

namespace {
using namespace od;

constexpr PortDescription kPorts[] = {
    triggerInlet("Trig", "a rise through 0.5 strikes the drum"),
    audioOutlet("Out", "drum signal"),
    controlInlet("Tune", "frequency", "Hz", 0, rateFraction(0.45), 55, "base pitch, read every sample; negative holds"),
    controlInlet("Decay", "time", "s", 0.03, 3, 0.4, "amplitude decay time constant"),
    controlInlet("Punch", "amount", "", 0, 1, 0.6, "depth of the pitch sweep from up to ten times Tune"),
    controlInlet("Click", "level", "", 0, 1, 0.3, "level of the beater click"),
    controlInlet("Drive", "amount", "", 0, 1, 0.2, "saturation, with make-up gain"),
};
} // namespace

extern const od::ClassDescription KickDescription = {
    "Kick",
    od::Family::Drums,
    "bass drum: a sine swept down to Tune with a noise click, saturated",
    2.0,
    "about five Decay time constants after the last strike",
    "",
    "",
    false,
    od::ports(kPorts),
};
