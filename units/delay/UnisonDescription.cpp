#include <od/Description.h>

namespace {
using namespace od;

constexpr PortDescription kPorts[] = {
    audioInlet("In", "audio input"),
    audioOutlet("OutL", "left mix"),
    audioOutlet("OutR", "right mix"),
    audioOutlet("OutMono", "mono mix"),
    controlInlet("Detune", "pitch", "cents", 0, 100, 15, "detune of the outer voices (the inner ones at 0.4 of it)"),
    controlInlet("Blend", "mix", "", 0, 1, 0.7, "0 dry only, 1 voices only"),
    controlInlet("Spread", "amount", "", 0, 1, 0.6, "panning and delay spread of the voices"),
};
} // namespace

extern const od::ClassDescription UnisonDescription = {
    "Unison",
    od::Family::Modulation,
    "four detuned pitch-shifted copies spread across the stereo field",
    0.05,
    "the shifter windows and the spread delays",
    "",
    "",
    false,
    od::ports(kPorts),
};
