#include <od/Description.h>

namespace {
using namespace od;
constexpr Choice kCurves[] = {{4, "tanh"}, {5, "sine"}, {6, "parabola"}, {7, "two-stage"}, {8, "cubic"}, {9, "reciprocal"}};
constexpr PortDescription kPorts[] = {
    audioInlet("In", "audio input"),
    audioOutlet("Out", "clipped signal"),
    controlInlet("Gain", "gain", "", unclamped(0), unclamped(10), 2, "drive: the curve sees In x Gain x 1.5"),
    option("Algo", choices(kCurves), 4, "soft-clip curve; other values pass the driven input unlimited"),
};
} // namespace

extern const od::ClassDescription SoftClipDescription = {
    "SoftClip",
    od::Family::Dynamics,
    "gain into one of six soft-clip curves",
    0,
    "",
    "",
    "",
    false,
    od::ports(kPorts),
};
