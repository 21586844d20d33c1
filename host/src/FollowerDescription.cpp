#include <od/Description.h>

namespace {
using namespace od;

constexpr PortDescription kPorts[] = {
    audioInlet("In", "signal whose peaks are followed"),
    controlInlet("Attack", "time", "s", 0, 60, 0.001, "time constant while |In| is above the level (NaN reads 0)"),
    controlInlet("Release", "time", "s", 0, 60, 0.1, "time constant while |In| is below it (NaN reads 0)"),
    audioOutlet("Out", "peak level of In: a side chain's detector level"),
};
} // namespace

extern const od::ClassDescription FollowerDescription = {
    "od.Follower", od::Family::Host, "peak envelope follower", 2.0, "about 20 x Release", "", "", false,
    od::ports(kPorts),
};
