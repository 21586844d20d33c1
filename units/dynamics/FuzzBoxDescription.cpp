#include <od/Description.h>

namespace {
using namespace od;

constexpr PortDescription kPorts[] = {
    audioInlet("In", "audio input"),
    controlInlet("Drive", "amount", "", 0, 1, 0.4, "gain 1 + 99 x Drive^2 before the clipper"),
    controlInlet("Grit", "offset", "", -1, 1, 0.1, "half of it is added after the gain: asymmetry"),
    controlInlet("Tone", "amount", "", 0, 1, 0.5, "low-pass at 250 x 48^Tone Hz, read once per frame"),
    audioOutlet("Out", "fuzzed signal"),
    parameter("Shape", "curve", "", 1, 3, 1, "1 soft, 2 hard, 3 asymmetric hot clip (rounded)"),
};
} // namespace

extern const od::ClassDescription FuzzBoxDescription = {
    "FuzzBox",
    od::Family::Dynamics,
    "fuzz: square-law gain, clipper, tone low-pass and DC blocker",
    0.1,
    "the tone filter and DC blocker settle",
    "",
    "",
    false,
    od::ports(kPorts),
};
