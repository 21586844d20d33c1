#include <od/Description.h>

namespace {
using namespace od;

constexpr PortDescription kPorts[] = {
    audioInlet("In", "audio input"),
    audioOutlet("OutL", "left output"),
    audioOutlet("OutR", "right output"),
    gateInlet("Fast", "above 0.5 the rotors speed up to 6.8 / 5.9 Hz"),
    controlInlet("Depth", "amount", "", 0, 1, 0.7, "depth of Doppler and tremolo"),
    controlInlet("Drive", "amount", "", 0, 1, 0.2, "drive into the saturator before the rotors"),
    controlInlet("Blend", "mix", "", 0, 1, 1, "0 dry only, 1 rotors only"),
};
} // namespace

extern const od::ClassDescription LeslieDescription = {
    "Leslie",
    od::Family::Modulation,
    "rotary speaker: horn and drum rotors with Doppler, tremolo and panning",
    0.05,
    "the short rotor delays",
    "",
    "",
    false,
    od::ports(kPorts),
};
