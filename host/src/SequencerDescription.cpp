#include <od/Description.h>

namespace {
using namespace od;

constexpr PortDescription kPorts[] = {
    triggerInlet("Clock", "each rising edge starts the next step; unconnected, steps run at BPM"),
    audioOutlet("Trig", "1 while a sounding step's gate is open"),
    audioOutlet("Pitch", "value (Hz) of the last sounding step"),
    parameter("BPM", "tempo", "BPM", 1, 3000, 120, "beats per minute without a clock (NaN reads 1)"),
    parameter("Division", "count", "", 0.125, 64, 4, "steps per beat"),
    parameter("Swing", "ratio", "", 0, 0.5, 0, "every second step starts this share of a step late"),
    parameter("Length", "ratio", "", 0, 1, 0.5, "gate length as a share of a step"),
};
} // namespace

extern const od::ClassDescription SequencerDescription = {
    "od.Sequencer", od::Family::Host, "step sequencer: a trigger and a pitch per step", kEndlessTail,
    "plays its steps by itself", "{110, false, 220}", "", false, od::ports(kPorts),
};
