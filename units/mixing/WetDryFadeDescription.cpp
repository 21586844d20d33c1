#include <od/Description.h>

namespace {
using namespace od;

constexpr PortDescription kPorts[] = {
    audioInlet("A", "dry signal"),
    audioInlet("B", "wet signal"),
    controlInlet("Fade", "mix", "", 0, 1, 0.5, "0 all A, 1 all B; glides over 5 ms"),
    audioOutlet("Out", "A + p x (B - A)"),
};
} // namespace

extern const od::ClassDescription WetDryFadeDescription = {
    "WetDryFade",
    od::Family::Mixing,
    "crossfade from A (dry) to B (wet)",
    0.03,
    "the fade glides with a 5 ms time constant",
    "",
    "",
    false,
    od::ports(kPorts),
};
