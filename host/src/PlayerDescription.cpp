#include <od/Description.h>

namespace {
using namespace od;

constexpr Choice kLoop[] = {{0, "once"}, {1, "loop"}};
constexpr PortDescription kPorts[] = {
    audioOutlet("Left Out", "first channel of the sample"),
    audioOutlet("Right Out", "second channel (a mono sample feeds both)"),
    option("Loop", choices(kLoop), 1, "1 loops the sample, 0 plays it once"),
};
} // namespace

extern const od::ClassDescription PlayerDescription = {
    "od.Player", od::Family::Host, "plays a sample at its own rate", kEndlessTail, "loops its sample by itself", "", "",
    false, od::ports(kPorts),
};
