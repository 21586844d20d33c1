#include <od/Description.h>

namespace {
using namespace od;

constexpr PortDescription outlet(const char *name, PortRole role, const char *quantity, const char *unit,
                                 const char *description) {
  return {name, PortKind::Outlet, role, quantity, unit, {}, {}, 0, description, {}, 1};
}

constexpr PortDescription kPorts[] = {
    outlet("Gate", PortRole::Gate, "gate", "", "1 while a note is held"),
    outlet("Trig", PortRole::Trigger, "trigger", "", "1 for one frame's length from each note-on"),
    outlet("Pitch", PortRole::Control, "frequency", "Hz", "the last note (A4 = 440 Hz), 0 before any"),
    outlet("Velocity", PortRole::Control, "level", "", "the last note-on's velocity, 0..1"),
    parameter("Channel", "channel", "", 0, 16, 0, "MIDI channel 1..16; 0 takes every channel"),
};

constexpr PortDescription kControllerPorts[] = {
    outlet("Out", PortRole::Control, "level", "", "the controller's value, 0..1, gliding over about 5 ms"),
    parameter("Channel", "channel", "", 0, 16, 0, "MIDI channel 1..16; 0 takes every channel"),
};
} // namespace

extern const od::ClassDescription MidiDescription = {
    "od.Midi", od::Family::Host, "notes of the MIDI input", 0, "", "", "", false, od::ports(kPorts),
};

extern const od::ClassDescription MidiCCDescription = {
    "od.MidiCC", od::Family::Host, "one controller of the MIDI input", 0, "", "1", "", false,
    od::ports(kControllerPorts),
};
