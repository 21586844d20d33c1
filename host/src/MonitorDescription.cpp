#include <od/Description.h>

namespace {
using namespace od;

constexpr PortDescription kPorts[] = {
    audioInlet("In", "signal"),
    audioOutlet("Out", "In, sample for sample"),
};
} // namespace

extern const od::ClassDescription MonitorDescription = {
    "od.Monitor", od::Family::Host, "pass-through junction", 0, "", "", "", true, od::ports(kPorts),
};
