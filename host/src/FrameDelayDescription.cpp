#include <od/Description.h>

namespace {
using namespace od;

constexpr PortDescription kPorts[] = {
    audioInlet("In", "signal to delay"),
    audioOutlet("Out", "In one frame later"),
};
} // namespace

extern const od::ClassDescription FrameDelayDescription = {
    "od.FrameDelay", od::Family::Host, "one frame of delay: what a feedback loop passes through", 0.1, "one frame",
    "", "", false, od::ports(kPorts),
};
