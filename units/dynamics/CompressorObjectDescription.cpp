#include <od/Description.h>

namespace {
using namespace od;

constexpr PortDescription kPorts[] = {
    audioInlet("In", "audio input"),
    audioOutlet("Out", "In x gain"),
    controlInlet("SCIn", "level", "", 0, unclamped(1), 0, "detector level (an envelope made elsewhere); unconnected, nothing is reduced"),
    controlInlet("Threshold", "level", "", 0.00001, unclamped(1), 0.25, "linear level above which the gain falls"),
    controlInlet("Ratio", "ratio", "", 1, unclamped(20), 4, "compression ratio above the threshold"),
};
} // namespace

extern const od::ClassDescription CompressorObjectDescription = {
    "CompressorObject",
    od::Family::Dynamics,
    "gain computer driven by a detector level made elsewhere",
    0.005,
    "the gain glides back with a 1 ms time constant",
    "",
    "",
    true,
    od::ports(kPorts),
};
