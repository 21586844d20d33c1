#include <od/Description.h>

namespace {
using namespace od;

constexpr PortDescription kPorts[] = {
    audioInlet("In", "audio input"),
    audioOutlet("Out", "dry input crossfaded with the voices"),
    controlInlet("Blend", "mix", "", 0, 1, 0.5, "0 dry only, 1 voices only"),
    controlInlet("Speed1", "ratio", "", -4, 4, 2, "playback ratio of voice 1: 2 an octave up, negative reversed"),
    controlInlet("Speed2", "ratio", "", -4, 4, 1.5, "playback ratio of voice 2"),
    controlInlet("Speed3", "ratio", "", -4, 4, 0.5, "playback ratio of voice 3"),
};
} // namespace

extern const od::ClassDescription PitchShifterDescription = {
    "PitchShifter",
    od::Family::Modulation,
    "up to three pitch-shifted voices with splice search",
    0.1,
    "the 40 ms voice windows",
    "",
    "setVoiceCount(n) chooses how many of Speed1..Speed3 sound (1 at first)",
    false,
    od::ports(kPorts),
};
