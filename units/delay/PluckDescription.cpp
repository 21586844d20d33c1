#include <od/Description.h>

namespace {
using namespace od;

constexpr PortDescription kPorts[] = {
    audioInlet("In", "excitation, added to the current voice"),
    triggerInlet("Trigger", "a rise through 0.5 moves to the next voice and tunes it to f0"),
    controlInlet("f0", "frequency", "Hz", allocatedMemory(20), rateFraction(0.25), 220, "pitch of the voice being tuned"),
    controlInlet("Damp", "frequency", "Hz", 20, rateFraction(0.45), 4000, "loop low-pass corner, read once per frame"),
    controlInlet("Decay", "amount", "", 0.000001, 0.999995, 0.9, "amplitude kept per 0.0763 s, read once per frame"),
    audioOutlet("Out", "sum of the voices"),
};
} // namespace

extern const od::ClassDescription PluckDescription = {
    "Pluck",
    od::Family::Delay,
    "four plucked-string voices, retuned on each trigger and excited by the input",
    3.0,
    "the voices ring for Decay per 0.0763 s; heavy damping can ring on longer",
    "0.05",
    "the argument is the longest loop in seconds: it sets the lowest f0",
    false,
    od::ports(kPorts),
};
