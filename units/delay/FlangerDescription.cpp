#include <od/Description.h>

namespace {
using namespace od;

constexpr PortDescription kPorts[] = {
    audioInlet("In", "left input"),
    audioInlet("InR", "right input"),
    audioOutlet("Out", "left output"),
    audioOutlet("OutR", "right output"),
    controlInlet("Rate", "frequency", "Hz", 0.01, 10, 0.25, "sweep rate"),
    controlInlet("Depth", "amount", "", 0, 1, 0.6, "sweep from 0.5 ms up to 0.5 + 7.5 x Depth ms"),
    controlInlet("Feedback", "amount", "", -0.95, 0.95, 0.4, "feedback of the delayed signal"),
    controlInlet("Blend", "mix", "", 0, 1, 0.5, "0 dry only, 1 effect only"),
};
} // namespace

extern const od::ClassDescription FlangerDescription = {
    "Flanger",
    od::Family::Modulation,
    "stereo flanger: a sine-swept short delay with feedback",
    0.05,
    "the 8 ms line and its feedback",
    "",
    "",
    false,
    od::ports(kPorts),
};
