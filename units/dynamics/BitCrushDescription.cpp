#include <od/Description.h>

namespace {
using namespace od;

constexpr PortDescription kPorts[] = {
    audioInlet("In", "audio input"),
    audioOutlet("Out", "crushed signal"),
    controlInlet("BitDepth", "resolution", "bits", 1, 32, 6, "values round to steps of 2^-(bits-1)"),
    controlInlet("SR", "hold", "samples", 1, unclamped(64), 4, "samples each value is held; holds run across frames"),
};
} // namespace

extern const od::ClassDescription BitCrushDescription = {
    "BitCrush",
    od::Family::Dynamics,
    "bit depth and sample-hold reduction",
    0,
    "",
    "",
    "",
    false,
    od::ports(kPorts),
};
