#include <od/Description.h>

namespace {
using namespace od;

// Channel k's ports exist when the mixer has at least k channels.
constexpr PortDescription channelInlet(const char *name, int channel) {
  return {name, PortKind::Inlet, PortRole::Audio, "signal", "", unclamped(-1), unclamped(1), 0, "a channel's input", {}, channel};
}
constexpr PortDescription gainInlet(const char *name, int channel) {
  return {name, PortKind::Inlet, PortRole::Control, "gain", "", -1.0e6, 1.0e6, 1, "a channel's gain (NaN reads 0)", {}, channel};
}

constexpr PortDescription kPorts[] = {
    channelInlet("In1", 1), channelInlet("In2", 2), channelInlet("In3", 3), channelInlet("In4", 4),
    channelInlet("In5", 5), channelInlet("In6", 6), channelInlet("In7", 7), channelInlet("In8", 8),
    channelInlet("In9", 9), channelInlet("In10", 10), channelInlet("In11", 11), channelInlet("In12", 12),
    channelInlet("In13", 13), channelInlet("In14", 14), channelInlet("In15", 15), channelInlet("In16", 16),
    channelInlet("In17", 17), channelInlet("In18", 18), channelInlet("In19", 19), channelInlet("In20", 20),
    channelInlet("In21", 21), channelInlet("In22", 22), channelInlet("In23", 23), channelInlet("In24", 24),
    channelInlet("In25", 25), channelInlet("In26", 26), channelInlet("In27", 27), channelInlet("In28", 28),
    channelInlet("In29", 29), channelInlet("In30", 30), channelInlet("In31", 31), channelInlet("In32", 32),
    channelInlet("In33", 33), channelInlet("In34", 34), channelInlet("In35", 35), channelInlet("In36", 36),
    channelInlet("In37", 37), channelInlet("In38", 38), channelInlet("In39", 39), channelInlet("In40", 40),
    channelInlet("In41", 41), channelInlet("In42", 42), channelInlet("In43", 43), channelInlet("In44", 44),
    channelInlet("In45", 45), channelInlet("In46", 46), channelInlet("In47", 47), channelInlet("In48", 48),
    channelInlet("In49", 49), channelInlet("In50", 50), channelInlet("In51", 51), channelInlet("In52", 52),
    channelInlet("In53", 53), channelInlet("In54", 54), channelInlet("In55", 55), channelInlet("In56", 56),
    channelInlet("In57", 57), channelInlet("In58", 58), channelInlet("In59", 59), channelInlet("In60", 60),
    channelInlet("In61", 61), channelInlet("In62", 62), channelInlet("In63", 63), channelInlet("In64", 64),
    gainInlet("Gain1", 1), gainInlet("Gain2", 2), gainInlet("Gain3", 3), gainInlet("Gain4", 4), gainInlet("Gain5",
    5), gainInlet("Gain6", 6), gainInlet("Gain7", 7), gainInlet("Gain8", 8), gainInlet("Gain9", 9),
    gainInlet("Gain10", 10), gainInlet("Gain11", 11), gainInlet("Gain12", 12), gainInlet("Gain13", 13),
    gainInlet("Gain14", 14), gainInlet("Gain15", 15), gainInlet("Gain16", 16), gainInlet("Gain17", 17),
    gainInlet("Gain18", 18), gainInlet("Gain19", 19), gainInlet("Gain20", 20), gainInlet("Gain21", 21),
    gainInlet("Gain22", 22), gainInlet("Gain23", 23), gainInlet("Gain24", 24), gainInlet("Gain25", 25),
    gainInlet("Gain26", 26), gainInlet("Gain27", 27), gainInlet("Gain28", 28), gainInlet("Gain29", 29),
    gainInlet("Gain30", 30), gainInlet("Gain31", 31), gainInlet("Gain32", 32), gainInlet("Gain33", 33),
    gainInlet("Gain34", 34), gainInlet("Gain35", 35), gainInlet("Gain36", 36), gainInlet("Gain37", 37),
    gainInlet("Gain38", 38), gainInlet("Gain39", 39), gainInlet("Gain40", 40), gainInlet("Gain41", 41),
    gainInlet("Gain42", 42), gainInlet("Gain43", 43), gainInlet("Gain44", 44), gainInlet("Gain45", 45),
    gainInlet("Gain46", 46), gainInlet("Gain47", 47), gainInlet("Gain48", 48), gainInlet("Gain49", 49),
    gainInlet("Gain50", 50), gainInlet("Gain51", 51), gainInlet("Gain52", 52), gainInlet("Gain53", 53),
    gainInlet("Gain54", 54), gainInlet("Gain55", 55), gainInlet("Gain56", 56), gainInlet("Gain57", 57),
    gainInlet("Gain58", 58), gainInlet("Gain59", 59), gainInlet("Gain60", 60), gainInlet("Gain61", 61),
    gainInlet("Gain62", 62), gainInlet("Gain63", 63), gainInlet("Gain64", 64),
    audioOutlet("Out", "sum of In_k x Gain_k"),
};
} // namespace

extern const od::ClassDescription MixerDescription = {
    "od.Mixer", od::Family::Host, "sums its inputs, each through its own gain", 0, "", "4",
    "one In and one Gain per channel (the argument, 1..64)", true, od::ports(kPorts),
};
