#include <od/Description.h>

namespace {
using namespace od;

constexpr PortDescription kPorts[] = {
    audioInlet("Left In", "left (or only) input"),
    controlInlet("Feedback", "amount", "", 0, 1, 0.3, "share of the reversed output fed back"),
    parameter("Delay", "time", "s", frameCount(1), allocatedMemory(2), 1, "segment length; a new value starts at the next segment"),
    audioOutlet("Left Out", "left (or only) output"),
    audioInlet("Right In", "right input", 2),
    audioOutlet("Right Out", "right output", 2),
};
} // namespace

extern const od::ClassDescription ReverseDelayDescription = {
    "ReverseDelay",
    od::Family::Delay,
    "plays each segment of Delay seconds backwards, with fades and feedback",
    4.0,
    "about Delay x (1 + repeats at Feedback); silent until memory is allocated",
    "2",
    "channels 2 or more add Right In and Right Out; memory comes from allocateTimeUpTo",
    false,
    od::ports(kPorts),
};
