#include <od/Description.h>

namespace {
using namespace od;

constexpr PortDescription kPorts[] = {
    audioInlet("In", "audio input"),
    audioOutlet("Out", "input, or the frozen loop"),
    gateInlet("Freeze", "above 0.5 stops recording and loops"),
    controlInlet("Size", "time", "s", sampleCount(128), 1, 0.25, "loop length"),
};
} // namespace

extern const od::ClassDescription FreezeDescription = {
    "Freeze",
    od::Family::Modulation,
    "holds the last Size seconds as a seamless loop while the gate is up",
    0.02,
    "the loop fades out over 8 ms after the gate falls",
    "",
    "",
    true,
    od::ports(kPorts),
};
