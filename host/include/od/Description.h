#pragma once

// What a class is and what its ports mean, as plain data: names, roles, ranges, units and
// defaults, written once beside each class and read by everything that needs a list of classes
// or ports (the host's inlet defaults, `qvz units`, the test and benchmark registries, the
// generated documentation, plug-in descriptions). The tables are constant data: a tool links
// the small `qvzdescriptions` library (no unit code, no Lua) and reads them.
//
// Adding a unit:
//   1. its own files: units/<family>/Name.h and Name.cpp, its description
//      units/<family>/NameDescription.cpp defining
//        extern const od::ClassDescription NameDescription = {...};
//      its tests (tests/<family>/NameTest.cpp, registering a factory with QVZ_REGISTER_UNIT
//      for the shared sweeps) and its benchmark (bench/NameBench.cpp, a RegisterBench entry);
//      host objects: host/src/NameDescription.cpp, listed in host/src/HostDescriptions.cpp;
//   2. its binding file binding/classes/Name.i (every file there is published);
//   3. one line X(Name) in the class list of units/Descriptions.cpp, at its family's place.
// `qvz units`, docs/units.md (regenerate with build/qvz_docs), the host's inlet defaults and
// the checks of the test and benchmark registries pick it up from there.

#include <cstring>

namespace od {

enum class PortKind { Inlet, Outlet, Parameter, Option };

// What a port carries: audio, a control value, a gate (above 0.5 is on), a trigger (a rise
// through 0.5 acts), or a choice among named integer values.
enum class PortRole { Audio, Control, Gate, Trigger, Choice };

// How a limit is stated.
enum class LimitScale {
  Fixed,      // the number itself, in the port's unit
  SampleRate, // a fraction of the sample rate (0.45 means 0.45 x rate), in the port's unit (Hz)
  Samples,    // a count of samples, given in seconds at the rate (128 samples = 128 / rate s)
  Frames,     // a count of host frames, given in seconds at the rate and frame length
  Memory,     // follows the memory the object was given; the number is that of the usual sizing
  Open,       // not clamped by the unit: the number is the end of the useful range
};

struct Limit {
  double value = 0.0;
  LimitScale scale = LimitScale::Fixed;

  constexpr Limit() = default;
  constexpr Limit(double number) : value(number) {}
  constexpr Limit(double number, LimitScale how) : value(number), scale(how) {}

  // The number at a sample rate (Hz) and frame length (samples).
  constexpr double at(double sampleRate, int frameLength = kDescribedFrameLength) const {
    switch (scale) {
    case LimitScale::SampleRate: return value * sampleRate;
    case LimitScale::Samples: return value / sampleRate;
    case LimitScale::Frames: return value * frameLength / sampleRate;
    default: return value;
    }
  }
  // True when the number changes with the rate or frame length.
  constexpr bool followsRate() const {
    return scale == LimitScale::SampleRate || scale == LimitScale::Samples || scale == LimitScale::Frames;
  }

  // Rate descriptions are stated at these values where no actual rate is known.
  static constexpr double kDescribedRate = 48000.0;
  static constexpr int kDescribedFrameLength = 128;
};

constexpr Limit rateFraction(double fraction) { return {fraction, LimitScale::SampleRate}; }
constexpr Limit sampleCount(double count) { return {count, LimitScale::Samples}; }
constexpr Limit frameCount(double count) { return {count, LimitScale::Frames}; }
constexpr Limit allocatedMemory(double usual) { return {usual, LimitScale::Memory}; }
constexpr Limit unclamped(double usualEnd) { return {usualEnd, LimitScale::Open}; }

// One named value of a choice port.
struct Choice {
  int value;
  const char *name;
};

// A constant array seen from outside: items and how many.
template <typename T> struct ConstList {
  const T *items = nullptr;
  int count = 0;
  constexpr const T *begin() const { return items; }
  constexpr const T *end() const { return items + count; }
};

using ChoiceList = ConstList<Choice>;

template <int N> constexpr ChoiceList choices(const Choice (&items)[N]) { return {items, N}; }

struct PortDescription {
  const char *name;        // exactly as registered
  PortKind kind;
  PortRole role;
  const char *quantity;    // what the number means: "time", "frequency", "ratio", "level", ...
  const char *unit;        // unit of measure: "s", "Hz", "cents", "" for plain numbers
  Limit min;               // the range the unit uses (its clamps); unused for outlets
  Limit max;
  double defaultValue;     // inlets: the host's constant when unconnected; parameters and
                           // options: the object's own default
  const char *description; // one line
  ChoiceList choices;      // named values of a choice port; others empty
  int minChannels = 1;     // the port exists when the channel argument is at least this

  constexpr double minAt(double sampleRate, int frameLength = Limit::kDescribedFrameLength) const {
    return min.at(sampleRate, frameLength);
  }
  constexpr double maxAt(double sampleRate, int frameLength = Limit::kDescribedFrameLength) const {
    return max.at(sampleRate, frameLength);
  }
  constexpr bool hasRange() const { return kind != PortKind::Outlet; }
};

using PortList = ConstList<PortDescription>;

template <int N> constexpr PortList ports(const PortDescription (&items)[N]) { return {items, N}; }

// Shorthands for the usual kinds of port, so that a description reads as a table.
constexpr PortDescription audioInlet(const char *name, const char *description, int minChannels = 1) {
  return {name, PortKind::Inlet, PortRole::Audio, "signal", "", unclamped(-1), unclamped(1), 0, description, {}, minChannels};
}
constexpr PortDescription audioOutlet(const char *name, const char *description, int minChannels = 1) {
  return {name, PortKind::Outlet, PortRole::Audio, "signal", "", {}, {}, 0, description, {}, minChannels};
}
constexpr PortDescription controlInlet(const char *name, const char *quantity, const char *unit, Limit min, Limit max,
                                       double defaultValue, const char *description) {
  return {name, PortKind::Inlet, PortRole::Control, quantity, unit, min, max, defaultValue, description, {}, 1};
}
constexpr PortDescription triggerInlet(const char *name, const char *description) {
  return {name, PortKind::Inlet, PortRole::Trigger, "trigger", "", 0, 1, 0, description, {}, 1};
}
constexpr PortDescription gateInlet(const char *name, const char *description, double defaultValue = 0) {
  return {name, PortKind::Inlet, PortRole::Gate, "gate", "", 0, 1, defaultValue, description, {}, 1};
}
constexpr PortDescription parameter(const char *name, const char *quantity, const char *unit, Limit min, Limit max,
                                    double defaultValue, const char *description) {
  return {name, PortKind::Parameter, PortRole::Control, quantity, unit, min, max, defaultValue, description, {}, 1};
}
constexpr PortDescription option(const char *name, ChoiceList named, double defaultValue, const char *description) {
  return {name,
          PortKind::Option,
          PortRole::Choice,
          "choice",
          "",
          named.count ? named.items[0].value : 0,
          named.count ? named.items[named.count - 1].value : 0,
          defaultValue,
          description,
          named,
          1};
}

// Families, in the order classes are listed.
enum class Family { Dynamics, Mixing, Delay, Modulation, Granular, Drums, Display, Host };

constexpr const char *familyName(Family family) {
  switch (family) {
  case Family::Dynamics: return "distortion and dynamics";
  case Family::Mixing: return "wet/dry mixing";
  case Family::Delay: return "delays";
  case Family::Modulation: return "pitch and modulation delays";
  case Family::Granular: return "granular sample player";
  case Family::Drums: return "drum voices";
  case Family::Display: return "display";
  case Family::Host: return "host objects";
  }
  return "";
}

// Tail: how long the output goes on after the input stops.
constexpr double kEndlessTail = -1.0; // plays on by itself (a player, a self-oscillating loop)

struct ClassDescription {
  const char *name;          // as published to Lua ("TapDelay"; host objects "od.Sine")
  Family family;
  const char *summary;       // one line
  double tailSeconds;        // after the input stops, at the defaults; kEndlessTail for ever
  const char *tailNote;      // what the tail depends on, or ""
  const char *arguments;     // the usual constructor arguments as written in Lua: "", "2", "\"mix\", 2"
  const char *portsFollow;   // how the ports follow a constructor argument, or ""
  bool passesByDefault;      // with defaults only its output may equal its input (or be silent)
  PortList ports;            // in registration order within each kind

  // The port of that kind and name, or null.
  const PortDescription *find(const char *portName, PortKind kind) const {
    for (const PortDescription &port : ports)
      if (port.kind == kind && std::strcmp(port.name, portName) == 0) return &port;
    return nullptr;
  }
  // The index-th port of a kind (registration order), or null.
  const PortDescription *nth(PortKind kind, int index) const {
    for (const PortDescription &port : ports)
      if (port.kind == kind && index-- == 0) return &port;
    return nullptr;
  }
  int count(PortKind kind, int channels = 1) const {
    int n = 0;
    for (const PortDescription &port : ports) n += port.kind == kind && port.minChannels <= channels;
    return n;
  }
};

using ClassList = ConstList<const ClassDescription *>;

// Every class of the library, in family order (as listed in units/Descriptions.cpp).
ClassList libraryDescriptions();
// The host's own objects ("od.Sine", ...).
ClassList hostDescriptions();
// A class by name: a library class ("TapDelay") or a host object ("od.Sine"); null if none.
const ClassDescription *findDescription(const char *className);

constexpr const char *kindName(PortKind kind) {
  switch (kind) {
  case PortKind::Inlet: return "inlet";
  case PortKind::Outlet: return "outlet";
  case PortKind::Parameter: return "parameter";
  case PortKind::Option: return "option";
  }
  return "";
}

constexpr const char *roleName(PortRole role) {
  switch (role) {
  case PortRole::Audio: return "audio";
  case PortRole::Control: return "control";
  case PortRole::Gate: return "gate";
  case PortRole::Trigger: return "trigger";
  case PortRole::Choice: return "choice";
  }
  return "";
}

} // namespace od
