#include <od/Description.h>

namespace {
using namespace od;

constexpr PortDescription kPorts[] = {
    audioInlet("In", "signal to scale"),
    controlInlet("Gain", "gain", "", -1.0e6, 1.0e6, 1, "per-sample gain (NaN reads 0)"),
    audioOutlet("Out", "In x Gain"),
};
} // namespace

extern const od::ClassDescription GainDescription = {
    "od.Gain", od::Family::Host, "a voltage-controlled amplifier", 0, "", "", "", true, od::ports(kPorts),
};
