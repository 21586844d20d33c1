#include <od/Description.h>

// A custom unit: its channels are inputs and outputs of the unit, not ports of its own; each
// channel's mix is the "Fade" inlet of its fader (getFader(i)), described as WetDryFade.
extern const od::ClassDescription WetDryUnitDescription = {
    "WetDryUnit",
    od::Family::Mixing,
    "runs a chain of units and mixes each channel's dry input with the chain's output",
    0.03,
    "its faders' 5 ms glide, plus the tail of the units it contains",
    "\"mix\", 1",
    "one input, output and fader per channel (the second argument); getFader(i) gives channel i's "
    "fader, whose Fade starts at 0.5",
    true,
    {},
};
