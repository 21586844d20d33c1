#include <od/Description.h>

namespace {
using namespace od;

constexpr Choice kModes[] = {{0, "low-pass"}, {1, "high-pass"}, {2, "band-pass"}, {3, "notch"}};
constexpr PortDescription kPorts[] = {
    audioInlet("In", "signal to filter"),
    controlInlet("Cutoff", "frequency", "Hz", 10, rateFraction(0.49), 1000, "corner, per sample (NaN reads the top)"),
    controlInlet("Resonance", "amount", "", 0, 1, 0, "0 maximally flat (-3 dB at Cutoff), 1 a 34 dB peak"),
    audioOutlet("Out", "the filtered signal"),
    option("Mode", choices(kModes), 0, "response; band-pass peaks at gain 1"),
};
} // namespace

extern const od::ClassDescription FilterDescription = {
    "od.Filter", od::Family::Host, "state-variable filter, 12 dB per octave", 0.5, "longer with high Resonance", "", "",
    false, od::ports(kPorts),
};
