#include <od/Description.h>

namespace {
using namespace od;
constexpr Choice kSigns[] = {{1, "positive"}, {3, "negative"}};
constexpr PortDescription kPorts[] = {
    audioInlet("In", "left input"),
    audioInlet("InR", "right input"),
    audioOutlet("Out", "left output"),
    audioOutlet("OutR", "right output"),
    controlInlet("f0", "frequency", "Hz", allocatedMemory(20), rateFraction(0.45), 220, "comb frequency (delay = rate / f0)"),
    controlInlet("Q", "amount", "", 0, 0.98, 0.7, "feedback"),
    option("Type", choices(kSigns), 1, "feedback sign; values other than 3 keep it positive"),
};
} // namespace

extern const od::ClassDescription CombDescription = {
    "Comb",
    od::Family::Delay,
    "stereo feedback comb filter, fully wet",
    0.3,
    "the feedback decays by Q every period",
    "",
    "",
    false,
    od::ports(kPorts),
};
