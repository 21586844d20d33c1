#include <od/Description.h>

namespace {
using namespace od;

constexpr PortDescription kPorts[] = {
    controlInlet("Speed", "ratio", "", unclamped(-4), unclamped(4), 1, "playback rate of each new gene set: 1 the sample's own rate, negative backwards"),
    triggerInlet("Trigger", "a rising edge restarts the gene train"),
    audioOutlet("Left Out", "left (or only) output"),
    audioOutlet("Right Out", "right output (stereo heads)"),
    parameter("Gene Size", "time", "s", 0, unclamped(1), 0, "gene length; below 0.001 the whole splice, else at least 256 samples"),
    parameter("Slide", "position", "", 0, 1, 0, "start inside the splice"),
    parameter("Organize", "position", "", 0, 1, 0, "which splice plays"),
    parameter("Morph", "amount", "", 0, 1, 0, "crossfade length, then octave-up layers"),
    parameter("Gain", "gain", "", unclamped(0), unclamped(2), 1, "output gain"),
    parameter("Squash", "amount", "", unclamped(0), unclamped(8), 1, "above 1 flattens the grain windows"),
    parameter("Splices", "count", "", 1, 32, 8, "equal splices the sample is cut into (at most one per 64 frames)"),
};
} // namespace

extern const od::ClassDescription MorphoHeadDescription = {
    "MorphoHead",
    od::Family::Granular,
    "granular sample player: genes of a splice repeated as overlapping grains",
    kEndlessTail,
    "plays its sample on by itself",
    "2",
    "channels 2 make a stereo head; otherwise one channel, whose Right Out stays silent",
    false,
    od::ports(kPorts),
};
