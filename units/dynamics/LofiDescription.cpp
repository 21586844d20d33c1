#include <od/Description.h>

namespace {
using namespace od;
constexpr Choice kWaves[] = {{4, "sine"}, {5, "triangle"}, {6, "square"}};
constexpr PortDescription kPorts[] = {
    audioInlet("In", "audio input"),
    controlInlet("Depth", "amount", "", 0, 1, 0.5, "depth of the tape wobble"),
    controlInlet("Speed", "rate", "", 0, 1, 0.3, "wobble rate, 0.15 Hz at 0 to 5 Hz at 1 on an exponential scale"),
    controlInlet("Blend", "mix", "", 0, 1, 1, "0 the fixed tap, 1 the swung tap"),
    audioOutlet("Out", "tape-coloured signal"),
    option("Waveform", choices(kWaves), 5, "shape of the wobble; other values act as triangle"),
};
} // namespace

extern const od::ClassDescription LofiDescription = {
    "Lofi",
    od::Family::Dynamics,
    "tape: compression, saturation, wow and flutter, dull highs",
    0.05,
    "the 20 ms line and the 450 Hz low-pass",
    "",
    "",
    false,
    od::ports(kPorts),
};
