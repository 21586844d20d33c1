#include <od/Description.h>

namespace {
using namespace od;

constexpr PortDescription kPorts[] = {
    audioInlet("DryL", "dry left"),
    audioInlet("DryR", "dry right"),
    audioInlet("Tap1L", "tap 1 left"),
    audioInlet("Tap1R", "tap 1 right"),
    audioInlet("Tap2L", "tap 2 left"),
    audioInlet("Tap2R", "tap 2 right"),
    audioInlet("Tap3L", "tap 3 left"),
    audioInlet("Tap3R", "tap 3 right"),
    audioInlet("Tap4L", "tap 4 left"),
    audioInlet("Tap4R", "tap 4 right"),
    controlInlet("Level1", "gain", "", unclamped(-1), unclamped(1), 1, "gain of tap 1"),
    controlInlet("Level2", "gain", "", unclamped(-1), unclamped(1), 0.7, "gain of tap 2"),
    controlInlet("Level3", "gain", "", unclamped(-1), unclamped(1), 0.5, "gain of tap 3"),
    controlInlet("Level4", "gain", "", unclamped(-1), unclamped(1), 0.35, "gain of tap 4"),
    controlInlet("Pan1", "pan", "", -1, 1, -0.5, "balance of tap 1, -1 left to 1 right"),
    controlInlet("Pan2", "pan", "", -1, 1, 0.5, "balance of tap 2"),
    controlInlet("Pan3", "pan", "", -1, 1, -0.25, "balance of tap 3"),
    controlInlet("Pan4", "pan", "", -1, 1, 0.25, "balance of tap 4"),
    controlInlet("Blend", "mix", "", 0, 1, 0.5, "0 dry only, 1 tap mix only"),
    audioOutlet("OutL", "left mix"),
    audioOutlet("OutR", "right mix"),
};
} // namespace

extern const od::ClassDescription TapDelayStereoMixerDescription = {
    "TapDelayStereoMixer",
    od::Family::Delay,
    "mixes four stereo taps with level and balance each, crossfaded with the dry pair",
    0,
    "",
    "",
    "",
    false,
    od::ports(kPorts),
};
