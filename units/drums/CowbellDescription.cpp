#include <od/Description.h>

namespace {
using namespace od;

constexpr PortDescription kPorts[] = {
    triggerInlet("Trig", "a rise through 0.5 strikes the bell"),
    audioOutlet("Out", "drum signal"),
    controlInlet("Tune", "frequency", "Hz", 0, rateFraction(0.45), 540, "pitch of the lower square (the upper at 800/540 of it)"),
    controlInlet("Decay", "time", "s", 0.03, 1, 0.25, "body decay time constant"),
    controlInlet("Clank", "level", "", 0, 1, 0.3, "level of the 8 ms clank"),
};
} // namespace

extern const od::ClassDescription CowbellDescription = {
    "Cowbell",
    od::Family::Drums,
    "cowbell: two squares through a band-pass that follows Tune, with a clank",
    1.3,
    "about five Decay time constants after the last strike",
    "",
    "",
    false,
    od::ports(kPorts),
};
