// The 31 plug-ins: one per audio class, plus the stereo reverse delay, the stereo tap delay,
// the compressor with its own detector and the drum kit. Ports come from the unit
// descriptions; the wrapper adds only the controls a unit cannot have on its own.

#include "PluginSpec.h"

#include <od/Description.h>

#include "units/dynamics/BandSpreader.h"
#include "units/dynamics/BitCrush.h"
#include "units/delay/Comb.h"
#include "units/dynamics/CompressorObject.h"
#include "units/drums/Cowbell.h"
#include "units/drums/Cymbal.h"
#include "units/dynamics/Exciter.h"
#include "units/delay/Flanger.h"
#include "units/delay/Freeze.h"
#include "units/dynamics/FuzzBox.h"
#include "units/dynamics/Grotesque.h"
#include "units/drums/HiHat.h"
#include "units/drums/Kick.h"
#include "units/delay/Leslie.h"
#include "units/dynamics/Lofi.h"
#include "morpho/MorphoHead.h"
#include "units/delay/PitchShifter.h"
#include "units/delay/Pluck.h"
#include "units/delay/ReverseDelay.h"
#include "units/dynamics/Shaper.h"
#include "units/drums/Snare.h"
#include "units/dynamics/SoftClip.h"
#include "units/delay/TapDelay.h"
#include "units/drums/Tom.h"
#include "units/delay/Unison.h"
#include "units/mixing/WetDryFade.h"

#include <cmath>
#include <map>
#include <stdexcept>

namespace qvzlv2 {

namespace {

constexpr float kReverseSeconds = 4.0f; // the reverse delay's memory, taken at instantiate
constexpr float kPluckLoopSeconds = 0.05f; // longest string loop: lowest note about 20 Hz
constexpr int kStereo = 2;

// How to build each audio class with the arguments a plug-in uses.
template <typename T> od::Object *makeDefault() { return new T(); }

od::Object *makeReverseDelay(int channels) {
  ReverseDelay *unit = new ReverseDelay(channels);
  unit->allocateTimeUpTo(kReverseSeconds);
  return unit;
}

struct ClassRecipe {
  std::function<od::Object *()> make;
  int channels; // the constructor's channel argument, where it has one
};

const std::map<std::string, ClassRecipe> &recipes() {
  static const std::map<std::string, ClassRecipe> table = {
      {"BitCrush", {makeDefault<od::BitCrush>, 1}},
      {"SoftClip", {makeDefault<od::SoftClip>, 1}},
      {"CompressorObject", {makeDefault<CompressorObject>, 1}},
      {"Exciter", {makeDefault<Exciter>, 1}},
      {"FuzzBox", {makeDefault<FuzzBox>, 1}},
      {"Lofi", {makeDefault<Lofi>, 1}},
      {"Grotesque", {makeDefault<Grotesque>, 1}},
      {"Shaper", {makeDefault<Shaper>, 1}},
      {"BandSpreader", {makeDefault<BandSpreader>, 1}},
      {"WetDryFade", {makeDefault<WetDryFade>, 1}},
      {"TapDelay", {makeDefault<TapDelay>, 1}},
      {"TapDelayStereoMixer", {makeDefault<TapDelayStereoMixer>, 1}},
      {"ReverseDelay", {[] { return makeReverseDelay(1); }, 1}},
      {"Pluck", {[]() -> od::Object * { return new Pluck(kPluckLoopSeconds); }, 1}},
      {"Comb", {makeDefault<Comb>, 1}},
      {"Flanger", {makeDefault<Flanger>, 1}},
      {"Freeze", {makeDefault<Freeze>, 1}},
      {"Leslie", {makeDefault<Leslie>, 1}},
      {"Unison", {makeDefault<Unison>, 1}},
      {"PitchShifter", {makeDefault<PitchShifter>, 1}},
      {"MorphoHead", {[]() -> od::Object * { return new morpho::MorphoHead(kStereo); }, kStereo}},
      {"Kick", {makeDefault<Kick>, 1}},
      {"Snare", {makeDefault<Snare>, 1}},
      {"HiHat", {makeDefault<HiHat>, 1}},
      {"Tom", {makeDefault<Tom>, 1}},
      {"Cowbell", {makeDefault<Cowbell>, 1}},
      {"Cymbal", {makeDefault<Cymbal>, 1}},
  };
  return table;
}

// Classes with no plug-in of their own: the host builds chains itself, and the widget makes no sound.
bool hasPlugin(const od::ClassDescription &d) {
  return d.family != od::Family::Display && d.family != od::Family::Host && std::string(d.name) != "WetDryUnit";
}

std::string lv2Class(const od::ClassDescription &d) {
  static const std::map<std::string, std::string> special = {
      {"CompressorObject", "lv2:CompressorPlugin"}, {"Shaper", "lv2:EnvelopePlugin"},
      {"BandSpreader", "lv2:SpatialPlugin"},        {"WetDryFade", "lv2:MixerPlugin"},
      {"TapDelayStereoMixer", "lv2:MixerPlugin"},   {"Comb", "lv2:CombPlugin"},
      {"Flanger", "lv2:FlangerPlugin"},             {"PitchShifter", "lv2:PitchPlugin"},
      {"Unison", "lv2:ChorusPlugin"},               {"Leslie", "lv2:ModulatorPlugin"},
      {"Pluck", "lv2:InstrumentPlugin"},
  };
  auto it = special.find(d.name);
  if (it != special.end()) return it->second;
  switch (d.family) {
  case od::Family::Dynamics: return "lv2:DistortionPlugin";
  case od::Family::Mixing: return "lv2:MixerPlugin";
  case od::Family::Delay: return "lv2:DelayPlugin";
  case od::Family::Modulation: return "lv2:ModulatorPlugin";
  case od::Family::Granular:
  case od::Family::Drums: return "lv2:InstrumentPlugin";
  default: return "lv2:Plugin";
  }
}

// The units: vocabulary name of a description's unit of measure.
std::string unitName(const std::string &unit) {
  static const std::map<std::string, std::string> names = {
      {"s", "s"}, {"ms", "ms"}, {"Hz", "hz"}, {"dB", "db"}, {"cents", "cent"}, {"semitones", "semitone12TET"},
      {"%", "pc"}, {"bpm", "bpm"}, {"BPM", "bpm"},
  };
  auto it = names.find(unit);
  return it == names.end() ? std::string() : it->second;
}

void fail(const std::string &plugin, const std::string &why) { throw std::runtime_error(plugin + ": " + why); }

// A control port from a unit's description of an inlet, parameter or option.
PortSpec controlPort(const od::PortDescription &d, const std::string &prefix, const std::string &plugin) {
  PortSpec p;
  p.type = PortType::ControlIn;
  p.name = (prefix.empty() ? std::string() : prefix + " ") + d.name;
  p.symbol = portSymbol(prefix.empty() ? std::string(d.name) : prefix + "_" + d.name);
  p.comment = d.description;
  p.minimum = (float)d.minAt(kDescribedRate, kFrame);
  p.maximum = (float)d.maxAt(kDescribedRate, kFrame);
  p.defaultValue = (float)d.defaultValue;
  p.unit = unitName(d.unit);
  switch (d.role) {
  case od::PortRole::Gate: p.role = Role::Gate; break;
  case od::PortRole::Trigger: p.role = Role::Trigger; break;
  case od::PortRole::Choice: p.role = Role::Choice; break;
  default: p.role = Role::Control; break;
  }
  for (const od::Choice &c : d.choices) p.scalePoints.push_back({(float)c.value, c.name});
  if (p.role == Role::Choice || !p.scalePoints.empty()) p.integer = true;
  p.target = d.kind == od::PortKind::Parameter ? Target::Parameter
             : d.kind == od::PortKind::Option  ? Target::Option
                                                : Target::Inlet;
  if (!(p.minimum <= p.maximum)) fail(plugin, std::string("port \"") + d.name + "\" has an empty range");
  if (!(p.defaultValue >= p.minimum && p.defaultValue <= p.maximum))
    fail(plugin, std::string("default of \"") + d.name + "\" lies outside its range");
  return p;
}

PortSpec audioPort(PortType type, const std::string &name, const std::string &comment, Target target) {
  PortSpec p;
  p.type = type;
  p.name = name;
  p.symbol = portSymbol(name);
  p.comment = comment;
  p.role = Role::Audio;
  p.target = target;
  return p;
}

PortSpec wrapperControl(int id, const std::string &name, Role role, float minimum, float maximum, float defaultValue,
                        const std::string &unit, const std::string &comment) {
  PortSpec p;
  p.type = PortType::ControlIn;
  p.name = name;
  p.symbol = portSymbol(name);
  p.comment = comment;
  p.role = role;
  p.minimum = minimum;
  p.maximum = maximum;
  p.defaultValue = defaultValue;
  p.unit = unit;
  p.integer = role == Role::Choice || role == Role::Toggle;
  p.target = Target::Wrapper;
  p.wrapperId = id;
  return p;
}

PluginSpec newPlugin(const std::string &uriName, const std::string &name, const std::string &lv2Class,
                     const std::string &comment) {
  PluginSpec plugin;
  plugin.uri = std::string(kUriPrefix) + uriName;
  plugin.name = name;
  plugin.lv2Class = lv2Class;
  plugin.comment = comment;
  return plugin;
}

const od::ClassDescription &describe(const std::string &className) {
  const od::ClassDescription *d = od::findDescription(className.c_str());
  if (!d) fail(className, "the class has no description");
  return *d;
}

// Adds the unit ports of a description: audio inlets and outlets as audio ports, everything
// else as controls (bound to `object`), keeping the description's order within each kind.
void addUnitPorts(PluginSpec &plugin, const od::ClassDescription &d, int object, int channels,
                  const std::string &prefix = std::string()) {
  std::vector<PortSpec> audioIn, audioOut, controls;
  for (const od::PortDescription &port : d.ports) {
    if (port.minChannels > channels) continue;
    if (port.kind == od::PortKind::Outlet) {
      PortSpec p = audioPort(PortType::AudioOut, port.name, port.description, Target::Outlet);
      p.bindings.push_back({object, port.name});
      audioOut.push_back(p);
    } else if (port.kind == od::PortKind::Inlet && port.role == od::PortRole::Audio) {
      PortSpec p = audioPort(PortType::AudioIn, port.name, port.description, Target::Inlet);
      p.bindings.push_back({object, port.name});
      audioIn.push_back(p);
    } else {
      PortSpec p = controlPort(port, prefix, plugin.uri);
      p.bindings.push_back({object, port.name});
      controls.push_back(p);
    }
  }
  for (auto *list : {&audioIn, &audioOut, &controls})
    plugin.ports.insert(plugin.ports.end(), list->begin(), list->end());
}

PortSpec eventsPort(const PluginSpec &plugin) {
  PortSpec p;
  p.type = PortType::EventsIn;
  p.name = "Events";
  p.symbol = "events";
  p.comment = plugin.sampleFile ? "MIDI notes and the sample file" : plugin.midi ? "MIDI notes" : "the host's transport";
  p.optional = true;
  return p;
}

// The ports every plug-in ends with: its events, the bypass switch and the latency report.
void finish(PluginSpec &plugin) {
  if (plugin.midi || plugin.transport || plugin.sampleFile) plugin.ports.push_back(eventsPort(plugin));
  PortSpec enabled;
  enabled.type = PortType::Enabled;
  enabled.name = "Enabled";
  enabled.symbol = "enabled";
  enabled.comment = "off crossfades to the dry input";
  enabled.role = Role::Toggle;
  enabled.minimum = 0.0f;
  enabled.maximum = 1.0f;
  enabled.defaultValue = 1.0f;
  enabled.integer = true;
  plugin.ports.push_back(enabled);
  PortSpec latency;
  latency.type = PortType::Latency;
  latency.name = "Latency";
  latency.symbol = "latency";
  latency.comment = "samples of delay added by re-blocking into frames";
  latency.minimum = 0.0f;
  latency.maximum = (float)kFrame;
  latency.defaultValue = (float)kFrame;
  latency.integer = true;
  latency.optional = true;
  plugin.ports.push_back(latency);
}

PortSpec *findPort(PluginSpec &plugin, const std::string &name) {
  for (PortSpec &p : plugin.ports)
    if (p.name == name) return &p;
  fail(plugin.uri, "no port \"" + name + "\"");
  return nullptr;
}

// The reverse delay's "Delay" runs from one frame to the memory taken at instantiate.
void reverseDelayRange(PluginSpec &plugin) {
  PortSpec *delay = findPort(plugin, "Delay");
  delay->minimum = (float)kFrame / kDescribedRate;
  delay->maximum = kReverseSeconds;
}

// Turns the compressor's detector-level control into an optional side-chain audio input,
// placed after the other audio inputs.
PortSpec &sideChainAudio(PluginSpec &plugin) {
  PortSpec side = *findPort(plugin, "SCIn");
  plugin.ports.erase(plugin.ports.begin() + plugin.portIndex(side.symbol));
  side.type = PortType::AudioIn;
  side.role = Role::Audio;
  side.unit.clear();
  side.sideChain = true;
  side.optional = true;
  size_t at = 0;
  while (at < plugin.ports.size() && plugin.ports[at].type == PortType::AudioIn) at++;
  return *plugin.ports.insert(plugin.ports.begin() + at, side);
}

void addTempoControls(PluginSpec &plugin, const std::string &what) {
  plugin.transport = true;
  PortSpec sync = wrapperControl(kTempoSync, "Tempo Sync", Role::Toggle, 0, 1, 0, "",
                                 what + " follows the host tempo as a note division");
  PortSpec division = wrapperControl(kTempoDivision, "Division", Role::Choice, 0, 6, 3, "",
                                     "note length of one " + what + " step when synced");
  const char *names[] = {"1/32", "1/16", "1/8", "1/4", "1/2", "1/1", "2/1"};
  for (int i = 0; i < 7; i++) division.scalePoints.push_back({(float)i, names[i]});
  plugin.ports.push_back(sync);
  plugin.ports.push_back(division);
}

PluginSpec singleClass(const od::ClassDescription &d) {
  const ClassRecipe &recipe = recipes().at(d.name);
  PluginSpec plugin = newPlugin(d.name, std::string("Quorvani ") + d.name, lv2Class(d), d.summary);
  plugin.units.push_back({d.name, recipe.make});
  addUnitPorts(plugin, d, 0, recipe.channels);

  const std::string name = d.name;
  if (name == "CompressorObject") {
    sideChainAudio(plugin);
  } else if (name == "ReverseDelay") {
    reverseDelayRange(plugin);
  } else if (name == "Pluck") {
    plugin.extra = Extra::Pluck;
    plugin.midi = true;
    findPort(plugin, "In")->optional = true;
  } else if (name == "MorphoHead") {
    plugin.extra = Extra::MorphoHead;
    plugin.midi = true;
    plugin.sampleFile = true;
    plugin.ports.push_back(wrapperControl(kNoteFollow, "Note Follow", Role::Toggle, 0, 1, 1, "",
                                          "MIDI notes set Speed (middle C plays at 1)"));
  } else if (name == "TapDelay") {
    plugin.extra = Extra::TempoDelay;
    addTempoControls(plugin, "Time");
  } else if (name == "Flanger") {
    plugin.extra = Extra::TempoFlanger;
    addTempoControls(plugin, "Rate");
  } else if (d.family == od::Family::Drums) {
    plugin.extra = Extra::Drum;
    plugin.midi = true;
  }
  finish(plugin);
  return plugin;
}

PluginSpec reverseDelayStereo() {
  const od::ClassDescription &d = describe("ReverseDelay");
  PluginSpec plugin = newPlugin("ReverseDelayStereo", "Quorvani ReverseDelay Stereo", "lv2:DelayPlugin",
                                std::string(d.summary) + ", two channels");
  plugin.units.push_back({"ReverseDelay", [] { return makeReverseDelay(kStereo); }});
  addUnitPorts(plugin, d, 0, kStereo);
  reverseDelayRange(plugin);
  finish(plugin);
  return plugin;
}

// Two tap delays, one per side, into the stereo mixer: the delays share their controls, the
// mixer's levels and pans place the taps. The delays' own tap levels and blend only shape
// their "Out", which this wiring does not use.
PluginSpec tapDelayStereo() {
  const od::ClassDescription &delay = describe("TapDelay");
  const od::ClassDescription &mixer = describe("TapDelayStereoMixer");
  PluginSpec plugin = newPlugin("TapDelayStereo", "Quorvani TapDelay Stereo", "lv2:DelayPlugin",
                                "two four-tap pitch-shifting delays placed in stereo by their mixer");
  plugin.extra = Extra::TempoDelay;
  plugin.units.push_back({"TapDelay", makeDefault<TapDelay>});
  plugin.units.push_back({"TapDelay", makeDefault<TapDelay>});
  plugin.units.push_back({"TapDelayStereoMixer", makeDefault<TapDelayStereoMixer>});
  for (int tap = 1; tap <= 4; tap++) {
    const std::string t = "Tap" + std::to_string(tap);
    plugin.connections.push_back({0, t, 2, t + "L"});
    plugin.connections.push_back({1, t, 2, t + "R"});
  }
  PortSpec inL = audioPort(PortType::AudioIn, "In L", "left input", Target::Inlet);
  inL.bindings = {{0, "In"}, {2, "DryL"}};
  PortSpec inR = audioPort(PortType::AudioIn, "In R", "right input", Target::Inlet);
  inR.bindings = {{1, "In"}, {2, "DryR"}};
  plugin.ports.push_back(inL);
  plugin.ports.push_back(inR);
  for (const char *side : {"OutL", "OutR"}) {
    PortSpec out = audioPort(PortType::AudioOut, side, mixer.find(side, od::PortKind::Outlet)->description,
                             Target::Outlet);
    out.bindings = {{2, side}};
    plugin.ports.push_back(out);
  }
  for (const od::PortDescription &port : delay.ports) {
    if (port.kind != od::PortKind::Inlet || port.role == od::PortRole::Audio) continue;
    const std::string name = port.name;
    if (name.rfind("Level", 0) == 0 || name == "Blend") continue;
    PortSpec p = controlPort(port, "", plugin.uri);
    p.bindings = {{0, name}, {1, name}};
    plugin.ports.push_back(p);
  }
  for (const od::PortDescription &port : mixer.ports) {
    if (port.kind != od::PortKind::Inlet || port.role == od::PortRole::Audio) continue;
    PortSpec p = controlPort(port, "", plugin.uri);
    p.bindings = {{2, port.name}};
    plugin.ports.push_back(p);
  }
  addTempoControls(plugin, "Time");
  finish(plugin);
  return plugin;
}

// The compressor with a peak follower of its own input, or of the side chain, feeding its
// detector level.
PluginSpec compressor() {
  const od::ClassDescription &d = describe("CompressorObject");
  PluginSpec plugin = newPlugin("Compressor", "Quorvani Compressor", "lv2:CompressorPlugin",
                                std::string(d.summary) + ", with a peak detector of its own");
  plugin.extra = Extra::Compressor;
  plugin.units.push_back({"CompressorObject", makeDefault<CompressorObject>});
  addUnitPorts(plugin, d, 0, 1);
  PortSpec &side = sideChainAudio(plugin);
  side.name = "Side Chain";
  side.symbol = portSymbol(side.name);
  side.comment = "key signal for the detector when Detect Side Chain is on";
  side.target = Target::None; // read by the detector, not by the unit
  side.bindings.clear();
  plugin.ports.push_back(wrapperControl(kAttack, "Attack", Role::Control, 0.0001f, 0.1f, 0.002f, "s",
                                        "detector rise time constant"));
  plugin.ports.push_back(wrapperControl(kRelease, "Release", Role::Control, 0.005f, 2.0f, 0.15f, "s",
                                        "detector fall time constant"));
  plugin.ports.push_back(wrapperControl(kDetectSideChain, "Detect Side Chain", Role::Toggle, 0, 1, 0, "",
                                        "the detector follows the side chain instead of the input"));
  finish(plugin);
  return plugin;
}

// The six voices as one instrument: a level and a pan per voice, mixed to stereo.
PluginSpec drums() {
  PluginSpec plugin = newPlugin("Drums", "Quorvani Drums", "lv2:InstrumentPlugin",
                                "kick, snare, hi-hat, tom, cowbell and cymbal played by General MIDI notes");
  plugin.extra = Extra::Drums;
  plugin.midi = true;
  plugin.ports.push_back(audioPort(PortType::AudioOut, "Out L", "left mix", Target::None));
  plugin.ports.push_back(audioPort(PortType::AudioOut, "Out R", "right mix", Target::None));
  int voice = 0;
  for (const od::ClassDescription *d : od::libraryDescriptions()) {
    if (d->family != od::Family::Drums) continue;
    plugin.units.push_back({d->name, recipes().at(d->name).make});
    const std::string voiceName = d->name;
    for (const od::PortDescription &port : d->ports) {
      if (port.kind == od::PortKind::Outlet) continue;
      PortSpec p = controlPort(port, voiceName, plugin.uri);
      p.bindings.push_back({voice, port.name});
      plugin.ports.push_back(p);
    }
    plugin.ports.push_back(wrapperControl(kVoiceLevel + voice, voiceName + " Level", Role::Control, 0, 1, 0.7f, "",
                                          "level of the voice in the mix"));
    plugin.ports.push_back(wrapperControl(kVoicePan + voice, voiceName + " Pan", Role::Control, -1, 1, 0, "",
                                          "place of the voice, constant power"));
    voice++;
  }
  if (voice != 6) fail(plugin.uri, "expected six drum voices");
  finish(plugin);
  return plugin;
}

std::vector<PluginSpec> buildPlugins() {
  std::vector<PluginSpec> list;
  int described = 0;
  for (const od::ClassDescription *d : od::libraryDescriptions()) {
    if (!hasPlugin(*d)) continue;
    if (!recipes().count(d->name)) fail(d->name, "described, but the plug-ins do not know how to build it");
    list.push_back(singleClass(*d));
    described++;
  }
  if (described != (int)recipes().size()) fail("bundle", "a class the plug-ins build has no description");
  list.push_back(reverseDelayStereo());
  list.push_back(tapDelayStereo());
  list.push_back(compressor());
  list.push_back(drums());
  return list;
}

} // namespace

std::string portSymbol(const std::string &name) {
  std::string symbol;
  bool pending = false;
  for (char c : name) {
    const bool word = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!word) {
      pending = !symbol.empty();
      continue;
    }
    if (pending) symbol += '_';
    pending = false;
    symbol += (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c;
  }
  return symbol;
}

int PluginSpec::portIndex(const std::string &symbol) const {
  for (size_t i = 0; i < ports.size(); i++)
    if (ports[i].symbol == symbol) return (int)i;
  return -1;
}

const std::vector<PluginSpec> &plugins() {
  static const std::vector<PluginSpec> list = buildPlugins();
  return list;
}

const PluginSpec *findPlugin(const std::string &uri) {
  for (const PluginSpec &p : plugins())
    if (p.uri == uri) return &p;
  return nullptr;
}

} // namespace qvzlv2
