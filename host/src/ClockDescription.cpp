#include <od/Description.h>

namespace {
using namespace od;

constexpr PortDescription kPorts[] = {
    audioOutlet("Out", "1 during each pulse, else 0"),
    parameter("BPM", "tempo", "BPM", unclamped(0), unclamped(300), 120, "beats per minute"),
    parameter("Width", "time", "s", unclamped(0), unclamped(1), 0.005, "pulse length (at least one sample)"),
    parameter("Hz", "frequency", "Hz", unclamped(0), unclamped(100), 0, "pulse rate; 0 uses BPM"),
};
} // namespace

extern const od::ClassDescription ClockDescription = {
    "od.Clock", od::Family::Host, "pulse train for triggers", 0, "", "", "", false, od::ports(kPorts),
};
