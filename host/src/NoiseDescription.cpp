#include <od/Description.h>

namespace {
using namespace od;

constexpr PortDescription kPorts[] = {
    controlInlet("Level", "gain", "", unclamped(0), unclamped(1), 1, "output amplitude"),
    audioOutlet("Out", "Level x uniform noise in -1 .. 1 from the seedable generator"),
};
} // namespace

extern const od::ClassDescription NoiseDescription = {
    "od.Noise", od::Family::Host, "white noise", 0, "", "", "", false, od::ports(kPorts),
};
