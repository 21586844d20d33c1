#include <od/Description.h>

namespace {
using namespace od;

constexpr Choice kShapes[] = {{0, "sine"}, {1, "triangle"}, {2, "saw"}, {3, "square"}, {4, "pulse"}};
constexpr PortDescription kPorts[] = {
    controlInlet("Frequency", "frequency", "Hz", 0, rateFraction(0.5), 440, "per sample; NaN reads 0"),
    controlInlet("Level", "gain", "", -1.0e6, 1.0e6, 1, "output amplitude (NaN reads 0)"),
    controlInlet("Width", "ratio", "", 0, 1, 0.5, "pulse width: the high share of a cycle (NaN reads 0)"),
    triggerInlet("Sync", "a rising edge restarts the cycle"),
    audioOutlet("Out", "the waveform x Level, 16 samples behind the controls"),
    option("Shape", choices(kShapes), 0, "waveform; saw, square and pulse are band-limited"),
};
} // namespace

extern const od::ClassDescription OscillatorDescription = {
    "od.Oscillator", od::Family::Host, "audio oscillator with band-limited saw, square and pulse", kEndlessTail,
    "oscillates by itself", "", "", false, od::ports(kPorts),
};
