// Writes the bundle's manifest.ttl and one .ttl per plug-in from the plug-in list (itself made
// from the unit descriptions). Before writing it builds every plug-in once and checks that the
// descriptions match the live units; any mismatch stops the build.
//
//   qvz_lv2_ttl BUNDLE_DIR BINARY_NAME

#include "Instance.h"
#include "PluginSpec.h"

#include <od/Description.h>
#include <od/config.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

namespace {

using namespace qvzlv2;

std::string quoted(const std::string &text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

// A number as Turtle reads it: integers for integer ports, decimals otherwise (never text).
std::string number(float value, bool integer) {
  if (!std::isfinite(value)) throw std::runtime_error("a port limit is not a finite number");
  char text[48];
  if (integer) {
    std::snprintf(text, sizeof text, "%ld", std::lround(value));
    return text;
  }
  // The shortest form that reads back as the same float.
  for (int digits = 6; digits <= 9; digits++) {
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    if (std::strtof(text, nullptr) == value) break;
  }
  std::string s = text;
  if (s.find_first_of(".e") == std::string::npos) s += ".0";
  return s;
}

const char *kPrefixes = "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
                        "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
                        "@prefix log: <http://lv2plug.in/ns/ext/log#> .\n"
                        "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                        "@prefix midi: <http://lv2plug.in/ns/ext/midi#> .\n"
                        "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
                        "@prefix patch: <http://lv2plug.in/ns/ext/patch#> .\n"
                        "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
                        "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
                        "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
                        "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
                        "@prefix time: <http://lv2plug.in/ns/ext/time#> .\n"
                        "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
                        "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n"
                        "@prefix work: <http://lv2plug.in/ns/ext/worker#> .\n\n";

void writePort(std::ostream &out, const PluginSpec &plugin, const PortSpec &p, int index) {
  std::vector<std::string> properties;
  out << "    [\n";
  switch (p.type) {
  case PortType::AudioIn: out << "        a lv2:InputPort , lv2:AudioPort ;\n"; break;
  case PortType::AudioOut: out << "        a lv2:OutputPort , lv2:AudioPort ;\n"; break;
  case PortType::ControlIn:
  case PortType::Enabled: out << "        a lv2:InputPort , lv2:ControlPort ;\n"; break;
  case PortType::Latency: out << "        a lv2:OutputPort , lv2:ControlPort ;\n"; break;
  case PortType::EventsIn:
    out << "        a lv2:InputPort , atom:AtomPort ;\n"
           "        atom:bufferType atom:Sequence ;\n"
           "        lv2:designation lv2:control ;\n";
    {
      std::vector<std::string> kinds;
      if (plugin.midi) kinds.push_back("midi:MidiEvent");
      if (plugin.transport) kinds.push_back("time:Position");
      if (plugin.sampleFile) kinds.push_back("patch:Message");
      out << "        atom:supports ";
      for (size_t i = 0; i < kinds.size(); i++) out << (i ? " , " : "") << kinds[i];
      out << " ;\n";
    }
    break;
  }
  out << "        lv2:index " << index << " ;\n";
  out << "        lv2:symbol " << quoted(p.symbol) << " ;\n";
  out << "        lv2:name " << quoted(p.name) << " ;\n";
  if (!p.comment.empty()) out << "        rdfs:comment " << quoted(p.comment) << " ;\n";
  const bool control = p.type == PortType::ControlIn || p.type == PortType::Enabled || p.type == PortType::Latency;
  if (control) {
    out << "        lv2:default " << number(p.defaultValue, p.integer) << " ;\n";
    out << "        lv2:minimum " << number(p.minimum, p.integer) << " ;\n";
    out << "        lv2:maximum " << number(p.maximum, p.integer) << " ;\n";
    if (!p.unit.empty()) out << "        units:unit units:" << p.unit << " ;\n";
  }
  if (p.type == PortType::Enabled) out << "        lv2:designation lv2:enabled ;\n";
  if (p.type == PortType::Latency) {
    out << "        lv2:designation lv2:latency ;\n";
    properties.push_back("lv2:reportsLatency");
  }
  if (p.integer) properties.push_back("lv2:integer");
  if (p.role == Role::Choice) properties.push_back("lv2:enumeration");
  if (p.role == Role::Gate || p.role == Role::Toggle || p.type == PortType::Enabled) properties.push_back("lv2:toggled");
  if (p.role == Role::Trigger) properties.push_back("pprops:trigger");
  if (p.sideChain) properties.push_back("lv2:isSideChain");
  if (p.optional) properties.push_back("lv2:connectionOptional");
  if (p.logarithmic) properties.push_back("pprops:logarithmic");
  if (!properties.empty()) {
    out << "        lv2:portProperty ";
    for (size_t i = 0; i < properties.size(); i++) out << (i ? " , " : "") << properties[i];
    out << " ;\n";
  }
  for (size_t i = 0; i < p.scalePoints.size(); i++)
    out << "        lv2:scalePoint [ rdfs:label " << quoted(p.scalePoints[i].label) << " ; rdf:value "
        << number(p.scalePoints[i].value, p.integer) << " ] ;\n";
  out << "    ]";
}

std::string fileName(const PluginSpec &plugin) { return plugin.uri.substr(std::string(kUriPrefix).size()) + ".ttl"; }

void writePlugin(const std::string &path, const PluginSpec &plugin) {
  std::ostringstream out;
  out << kPrefixes;
  if (plugin.sampleFile)
    out << "<" << kSampleProperty << ">\n    a lv2:Parameter ;\n    rdfs:label \"Sample\" ;\n"
        << "    rdfs:comment \"audio file the grains are taken from\" ;\n    rdfs:range atom:Path .\n\n";
  out << "<" << plugin.uri << ">\n";
  out << "    a lv2:Plugin , " << plugin.lv2Class << " ;\n";
  out << "    doap:name " << quoted(plugin.name) << " ;\n";
  out << "    rdfs:comment " << quoted(plugin.comment) << " ;\n";
  out << "    lv2:optionalFeature lv2:hardRTCapable , urid:map , log:log";
  if (plugin.sampleFile) out << " , work:schedule , state:mapPath , state:freePath";
  out << " ;\n";
  if (plugin.sampleFile) {
    out << "    lv2:extensionData state:interface , work:interface ;\n";
    out << "    patch:writable <" << kSampleProperty << "> ;\n";
  }
  out << "    lv2:port\n";
  for (size_t i = 0; i < plugin.ports.size(); i++) {
    writePort(out, plugin, plugin.ports[i], (int)i);
    out << (i + 1 < plugin.ports.size() ? " ,\n" : " .\n");
  }
  std::ofstream file(path);
  file << out.str();
  if (!file.good()) throw std::runtime_error("cannot write " + path);
}

// Every port a unit registers is described, every described port exists, in the same order.
void checkAgainstLiveUnits(const PluginSpec &plugin, const Instance &instance) {
  for (size_t u = 0; u < plugin.units.size(); u++) {
    od::Object *unit = instance.unit((int)u);
    const od::ClassDescription *d = od::findDescription(plugin.units[u].className.c_str());
    const std::string where = plugin.uri + " (" + plugin.units[u].className + ")";
    const auto check = [&](od::PortKind kind, int count, auto nameOf) {
      int described = 0;
      for (const od::PortDescription &port : d->ports) {
        if (port.kind != kind) continue;
        if (described < count && nameOf(described) == port.name) {
          described++;
          continue;
        }
        if (port.minChannels > 1) continue; // a port of a larger channel count
        if (described >= count)
          throw std::runtime_error(where + ": the description names " + std::string(od::kindName(kind)) + " \"" +
                                   port.name + "\", which does not exist");
        throw std::runtime_error(where + ": " + od::kindName(kind) + " " + std::to_string(described) + " is \"" +
                                 nameOf(described) + "\" but is described as \"" + port.name + "\"");
      }
      if (described < count)
        throw std::runtime_error(where + ": " + od::kindName(kind) + " \"" + nameOf(described) + "\" has no description");
    };
    check(od::PortKind::Inlet, unit->inputCount(), [&](int i) { return unit->getInput(i)->name(); });
    check(od::PortKind::Outlet, unit->outputCount(), [&](int i) { return unit->getOutput(i)->name(); });
    check(od::PortKind::Parameter, unit->parameterCount(), [&](int i) { return unit->getParameter(i)->name(); });
    check(od::PortKind::Option, unit->optionCount(), [&](int i) { return unit->getOption(i)->name(); });
  }
  std::set<std::string> symbols;
  for (const PortSpec &p : plugin.ports)
    if (!symbols.insert(p.symbol).second) throw std::runtime_error(plugin.uri + ": port symbol \"" + p.symbol + "\" twice");
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: qvz_lv2_ttl BUNDLE_DIR BINARY_NAME\n");
    return 2;
  }
  const std::string bundle = argv[1];
  const std::string binary = argv[2];
  try {
    od::configure((int)kDescribedRate, kFrame);
    std::ostringstream manifest;
    manifest << "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n\n";
    for (const PluginSpec &plugin : plugins()) {
      Instance instance(plugin, kDescribedRate);
      checkAgainstLiveUnits(plugin, instance);
      writePlugin(bundle + "/" + fileName(plugin), plugin);
      manifest << "<" << plugin.uri << ">\n    a lv2:Plugin ;\n    lv2:binary <" << binary << "> ;\n"
               << "    rdfs:seeAlso <" << fileName(plugin) << "> .\n\n";
    }
    std::ofstream file(bundle + "/manifest.ttl");
    file << manifest.str();
    if (!file.good()) throw std::runtime_error("cannot write " + bundle + "/manifest.ttl");
  } catch (const std::exception &e) {
    std::fprintf(stderr, "qvz_lv2_ttl: %s\n", e.what());
    return 1;
  }
  return 0;
}
