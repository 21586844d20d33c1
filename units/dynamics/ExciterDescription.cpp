#include <od/Description.h>

namespace {
using namespace od;
constexpr Choice kModes[] = {{4, "rational"}, {5, "even"}, {6, "cubic"}, {7, "rectifier"}, {8, "mixed"}, {9, "sine"}};
constexpr PortDescription kPorts[] = {
    audioInlet("In", "audio input"),
    audioOutlet("Out", "input plus the excitation"),
    controlInlet("AxMix", "gain", "", unclamped(-1), unclamped(1), 0.3, "amount of excitation added; negative subtracts"),
    option("Mode", choices(kModes), 4, "curve that shapes the highs; other values leave them unshaped"),
};
} // namespace

extern const od::ClassDescription ExciterDescription = {
    "Exciter",
    od::Family::Dynamics,
    "adds shaped harmonics of the highs above about 2 kHz",
    0.05,
    "the 10 Hz high-pass settles",
    "",
    "",
    false,
    od::ports(kPorts),
};
