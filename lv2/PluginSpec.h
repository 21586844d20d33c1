#pragma once

// What each plug-in of the bundle is: the units it builds, how they are wired, and its ports in
// index order with everything the .ttl files state about them. The run-time wrapper and the
// description generator read the same list, so the indices a host sees are the ones run() uses.

#include <od/Object.h>

#include <functional>
#include <string>
#include <vector>

namespace qvzlv2 {

// Samples per internal frame: every run() is re-blocked into frames of this length, which is
// also the latency reported to the host.
constexpr int kFrame = 32;
// The rate the descriptions are written for; limits that follow the rate are stated at it.
constexpr float kDescribedRate = 48000.0f;

enum class PortType {
  AudioIn,
  AudioOut,
  ControlIn, // a unit control, or one of the wrapper's own controls (Role says how it is applied)
  EventsIn,  // atom sequence: MIDI notes, transport, and the sample property where there is one
  Enabled,   // lv2:enabled: 0 crossfades to the dry input
  Latency,   // output control reporting kFrame
};

enum class Role { Audio, Control, Gate, Trigger, Choice, Toggle };

// Where a port's value goes inside the plug-in.
enum class Target {
  Inlet,     // an inlet of one or more of the plug-in's units
  Outlet,    // an outlet of a unit (audio out)
  Parameter, // a unit parameter (set per frame; the parameter smooths)
  Option,    // a unit option (applied between frames)
  Wrapper,   // a control the wrapper itself uses (levels, detector, note follow, tempo sync)
  None,      // buffers the wrapper owns (mixed outputs, events, bypass, latency)
};

struct Binding {
  int object;       // index into PluginSpec::units
  std::string port; // the unit's own name for the port
};

struct ScalePoint {
  float value;
  std::string label;
};

struct PortSpec {
  PortType type = PortType::ControlIn;
  std::string symbol;
  std::string name;
  std::string comment;
  Role role = Role::Control;
  float minimum = 0.0f, maximum = 1.0f, defaultValue = 0.0f;
  std::string unit;       // a units: vocabulary name ("hz", "s", "ms", "db", "coef", "midiNote") or empty
  bool integer = false;
  std::vector<ScalePoint> scalePoints;
  bool optional = false;  // lv2:connectionOptional
  bool sideChain = false; // lv2:isSideChain
  bool logarithmic = false;
  Target target = Target::None;
  std::vector<Binding> bindings;
  bool smoothedByUnit = false; // the unit glides this control itself: applied as a step per frame
  int wrapperId = -1;          // which wrapper control (see Extra) for Target::Wrapper
};

// How the wrapper adds to the plain unit chain.
enum class Extra {
  None,
  Compressor,   // peak detector feeding the compressor's side chain level
  Drums,        // six voices mixed to stereo, one MIDI note per voice
  Drum,         // one voice struck by MIDI notes
  Pluck,        // MIDI notes trigger, set f0, and excite the string with a noise burst
  MorphoHead,   // the sample player: MIDI trigger and speed, sample file through the worker
  TempoDelay,   // TapDelay and TapDelayStereo: "Time" follows the host tempo when synced
  TempoFlanger, // Flanger: "Rate" follows the host tempo when synced
};

// Ids of the wrapper's own controls.
enum WrapperControl {
  kAttack,
  kRelease,
  kDetectSideChain,
  kNoteFollow,
  kTempoSync,
  kTempoDivision,
  kVoiceLevel, // + voice index for the drum kit (kVoiceLevel .. kVoiceLevel + 5)
  kVoicePan = kVoiceLevel + 6,
  kWrapperControlCount = kVoicePan + 6,
};

struct UnitSpec {
  std::string className;
  std::function<od::Object *()> make; // builds the unit (and takes its memory)
};

struct Connection {
  int from;
  std::string outlet;
  int to;
  std::string inlet;
};

struct PluginSpec {
  std::string uri;
  std::string name;
  std::string lv2Class; // e.g. "lv2:DelayPlugin"
  std::string comment;
  std::vector<UnitSpec> units;
  std::vector<Connection> connections;
  std::vector<PortSpec> ports;
  Extra extra = Extra::None;
  bool midi = false;       // the events port carries notes
  bool transport = false;  // the events port carries the host's time:Position
  bool sampleFile = false; // a patch:writable atom:Path property, loaded by the worker

  int portIndex(const std::string &symbol) const;
};

// Every plug-in of the bundle, built once (not on the audio thread).
const std::vector<PluginSpec> &plugins();
const PluginSpec *findPlugin(const std::string &uri);

// "Left In" -> "left_in", "Gene Size" -> "gene_size": lower case, every other run of characters "_".
std::string portSymbol(const std::string &name);

constexpr const char *kUriPrefix = "urn:quorvani:lv2:";
constexpr const char *kSampleProperty = "urn:quorvani:lv2:MorphoHead#sample";

} // namespace qvzlv2
