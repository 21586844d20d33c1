#include <od/Description.h>

namespace {
using namespace od;

constexpr PortDescription kPorts[] = {
    triggerInlet("Trig", "a rise through 0.5 strikes the drum"),
    audioOutlet("Out", "drum signal"),
    controlInlet("Tune", "frequency", "Hz", 0, rateFraction(0.45), 110, "pitch, read every sample; negative holds"),
    controlInlet("Decay", "time", "s", 0.05, 2, 0.4, "amplitude decay time constant"),
    controlInlet("Bend", "amount", "", 0, 1, 0.4, "depth of the pitch bend"),
};
} // namespace

extern const od::ClassDescription TomDescription = {
    "Tom",
    od::Family::Drums,
    "tom: a sine bent down from up to 2.4 x Tune with stick noise",
    2.0,
    "about five Decay time constants after the last strike",
    "",
    "",
    false,
    od::ports(kPorts),
};
