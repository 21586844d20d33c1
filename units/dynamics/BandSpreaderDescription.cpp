#include <od/Description.h>

namespace {
using namespace od;

constexpr PortDescription kPorts[] = {
    audioInlet("InL", "left input"),
    audioInlet("InR", "right input"),
    audioOutlet("OutL", "left output"),
    audioOutlet("OutR", "right output"),
    controlInlet("Pan1", "pan", "", -1, 1, -0.5, "pan of the band below 120 Hz, -1 left to 1 right"),
    controlInlet("Pan2", "pan", "", -1, 1, 0.5, "pan of the band 120 to 350 Hz"),
    controlInlet("Pan3", "pan", "", -1, 1, -0.3, "pan of the band 350 to 1000 Hz"),
    controlInlet("Pan4", "pan", "", -1, 1, 0.3, "pan of the band 1000 to 2800 Hz"),
    controlInlet("Pan5", "pan", "", -1, 1, -0.6, "pan of the band 2800 to 8000 Hz"),
    controlInlet("Pan6", "pan", "", -1, 1, 0.6, "pan of the band above 8000 Hz"),
    controlInlet("Level1", "gain", "", 0, 1, 1, "level of band 1"),
    controlInlet("Level2", "gain", "", 0, 1, 1, "level of band 2"),
    controlInlet("Level3", "gain", "", 0, 1, 1, "level of band 3"),
    controlInlet("Level4", "gain", "", 0, 1, 1, "level of band 4"),
    controlInlet("Level5", "gain", "", 0, 1, 1, "level of band 5"),
    controlInlet("Level6", "gain", "", 0, 1, 1, "level of band 6"),
};
} // namespace

extern const od::ClassDescription BandSpreaderDescription = {
    "BandSpreader",
    od::Family::Dynamics,
    "splits the mono sum into six bands and pans each",
    0.05,
    "band filters and the 3 ms pan glide",
    "",
    "",
    false,
    od::ports(kPorts),
};
