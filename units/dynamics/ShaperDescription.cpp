#include <od/Description.h>

namespace {
using namespace od;

constexpr PortDescription kPorts[] = {
    audioInlet("In", "audio input"),
    audioOutlet("Out", "shaped signal"),
    controlInlet("Atk", "amount", "", 0, 1, 0.7, "attack emphasis; 0.5 neutral"),
    controlInlet("Sus", "amount", "", 0, 1, 0.5, "sustain emphasis; 0.5 neutral"),
};
} // namespace

extern const od::ClassDescription ShaperDescription = {
    "Shaper",
    od::Family::Dynamics,
    "transient shaper: attacks and sustains up or down by up to 15 dB",
    0.1,
    "the slow envelope settles",
    "",
    "",
    false,
    od::ports(kPorts),
};
