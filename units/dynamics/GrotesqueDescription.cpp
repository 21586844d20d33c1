#include <od/Description.h>

namespace {
using namespace od;

constexpr PortDescription kPorts[] = {
    audioInlet("In", "audio input"),
    controlInlet("High", "amount", "", 0, 1, 0.6, "low-pass corner, 150 Hz to 18 kHz (at most 0.42 x rate)"),
    controlInlet("Low", "amount", "", 0, 1, 0.3, "high-pass corner, 7 kHz down to 25 Hz"),
    controlInlet("Gain", "amount", "", 0, 1, 0.5, "loop feedback, up to 1.87"),
    controlInlet("Input", "amount", "", 0, 1, 0.7, "how much of the input enters the loop"),
    audioOutlet("Out", "loop signal"),
};
} // namespace

extern const od::ClassDescription GrotesqueDescription = {
    "Grotesque",
    od::Family::Dynamics,
    "saturating feedback loop through a band-pass, able to howl by itself",
    kEndlessTail,
    "with Input low and the others high it oscillates from its own noise",
    "",
    "",
    false,
    od::ports(kPorts),
};
