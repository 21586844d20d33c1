#include <od/Description.h>

namespace {
using namespace od;

constexpr PortDescription kPorts[] = {
    triggerInlet("TrigC", "a rise through 0.5 strikes the closed hat"),
    triggerInlet("TrigO", "a rise through 0.5 strikes the open hat"),
    audioOutlet("Out", "drum signal"),
    controlInlet("Tune", "frequency", "Hz", 0, rateFraction(0.45), 420, "base of the six square oscillators; negative holds"),
    controlInlet("DecayC", "time", "s", 0.005, 0.3, 0.05, "closed decay time constant"),
    controlInlet("DecayO", "time", "s", 0.05, 2, 0.5, "open decay time constant"),
    controlInlet("Tone", "frequency", "Hz", 2000, 12000, 7000, "high-pass corner (at most 0.45 x rate)"),
};
} // namespace

extern const od::ClassDescription HiHatDescription = {
    "HiHat",
    od::Family::Drums,
    "hi-hat: six inharmonic squares through two high-passes, closed and open",
    2.5,
    "about five DecayO time constants after an open strike",
    "",
    "",
    false,
    od::ports(kPorts),
};
