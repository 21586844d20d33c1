#include <od/Description.h>

namespace {
using namespace od;

constexpr PortDescription kPorts[] = {
    audioInlet("In", "audio input"),
    audioOutlet("Out", "dry input crossfaded with the level-weighted tap mix"),
    audioOutlet("Tap1", "first tap, one spacing back, pitch-shifted"),
    audioOutlet("Tap2", "second tap, two spacings back"),
    audioOutlet("Tap3", "third tap, three spacings back"),
    audioOutlet("Tap4", "fourth tap, four spacings back; feeds back"),
    controlInlet("Time", "time", "s", 0.02, 0.5, 0.3, "tap spacing, gliding over 80 ms"),
    controlInlet("Feedback", "amount", "", 0, 0.95, 0.35, "share of tap 4 fed back through a soft saturator"),
    gateInlet("Reverse", "above 0.5 negates every pitch ratio"),
    controlInlet("Blend", "mix", "", 0, 1, 0.5, "0 dry only, 1 tap mix only"),
    controlInlet("Pitch1", "ratio", "", -4, 4, 1, "playback ratio of tap 1; negative plays backwards"),
    controlInlet("Pitch2", "ratio", "", -4, 4, 1, "playback ratio of tap 2"),
    controlInlet("Pitch3", "ratio", "", -4, 4, 1, "playback ratio of tap 3"),
    controlInlet("Pitch4", "ratio", "", -4, 4, 1, "playback ratio of tap 4"),
    controlInlet("Level1", "gain", "", unclamped(-1), unclamped(1), 1, "gain of tap 1 in the mix"),
    controlInlet("Level2", "gain", "", unclamped(-1), unclamped(1), 0.7, "gain of tap 2 in the mix"),
    controlInlet("Level3", "gain", "", unclamped(-1), unclamped(1), 0.5, "gain of tap 3 in the mix"),
    controlInlet("Level4", "gain", "", unclamped(-1), unclamped(1), 0.35, "gain of tap 4 in the mix"),
};
} // namespace

extern const od::ClassDescription TapDelayDescription = {
    "TapDelay",
    od::Family::Delay,
    "four pitch-shiftable taps at multiples of one spacing, the last fed back",
    4.5,
    "grows with Time and Feedback: each pass through tap 4 is 4 x Time later",
    "",
    "",
    false,
    od::ports(kPorts),
};
