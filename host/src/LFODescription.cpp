#include <od/Description.h>

namespace {
using namespace od;

constexpr Choice kShapes[] = {{0, "sine"}, {1, "triangle"}, {2, "saw up"}, {3, "square"}, {4, "sample and hold"}};
constexpr PortDescription kPorts[] = {
    controlInlet("Rate", "frequency", "Hz", 0, 1000, 1, "cycles per second; NaN reads 0"),
    controlInlet("Level", "gain", "", -1.0e6, 1.0e6, 1, "the shape's scale (NaN reads 0)"),
    controlInlet("Offset", "level", "", -1.0e6, 1.0e6, 0, "added to the output (NaN reads 0)"),
    triggerInlet("Sync", "a rising edge restarts the cycle at Phase"),
    audioOutlet("Out", "Offset + Level x shape"),
    parameter("Phase", "ratio", "", 0, 1, 0, "start phase, taken on the first frame and at every sync"),
    option("Shape", choices(kShapes), 0, "waveform; sample and hold draws from the seeded random source"),
};
} // namespace

extern const od::ClassDescription LFODescription = {
    "od.LFO", od::Family::Host, "low-frequency oscillator", kEndlessTail, "oscillates by itself", "", "", false,
    od::ports(kPorts),
};
