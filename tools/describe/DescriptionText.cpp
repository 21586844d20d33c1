#include "DescriptionText.h"

#include <cmath>
#include <cstdio>

namespace qvzdescribe {

namespace {

constexpr double kStatedRate = od::Limit::kDescribedRate;
constexpr int kStatedFrame = od::Limit::kDescribedFrameLength;

// JSON numbers carry enough digits to give the same float back.
std::string exactNumber(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", value);
  return text;
}

std::string quoted(const char *text) {
  std::string out = "\"";
  for (const char *c = text; *c; c++) {
    if (*c == '"' || *c == '\\') out += '\\';
    if ((unsigned char)*c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", (unsigned char)*c);
      out += escaped;
    } else {
      out += *c;
    }
  }
  return out + "\"";
}

// What a limit follows, stated at the usual rate: "0.45 x rate; 21600 at 48 kHz".
std::string followsText(const od::Limit &limit) {
  switch (limit.scale) {
  case od::LimitScale::SampleRate:
    return number(limit.value) + " x rate; " + number(limit.at(kStatedRate)) + " at 48 kHz";
  case od::LimitScale::Samples:
    return number(limit.value) + " samples; " + number(limit.at(kStatedRate)) + " at 48 kHz";
  case od::LimitScale::Frames:
    return number(limit.value) + (limit.value == 1 ? " frame; " : " frames; ") +
           number(limit.at(kStatedRate, kStatedFrame)) + " at 48 kHz, 128 samples";
  case od::LimitScale::Memory: return "follows the allocated memory; " + number(limit.value) + " as usually sized";
  case od::LimitScale::Open: return "not clamped";
  case od::LimitScale::Fixed: break;
  }
  return "";
}

const char *scaleName(od::LimitScale scale) {
  switch (scale) {
  case od::LimitScale::SampleRate: return "rate";
  case od::LimitScale::Samples: return "samples";
  case od::LimitScale::Frames: return "frames";
  case od::LimitScale::Memory: return "memory";
  case od::LimitScale::Open: return "unclamped";
  case od::LimitScale::Fixed: break;
  }
  return "fixed";
}

std::string tailText(const od::ClassDescription &d) {
  std::string text = d.tailSeconds == od::kEndlessTail ? "endless" : number(d.tailSeconds) + " s";
  if (*d.tailNote) text += std::string(" (") + d.tailNote + ")";
  return text;
}

std::string choicesText(const od::PortDescription &port) {
  std::string text;
  for (const od::Choice &choice : port.choices) text += (text.empty() ? "" : ", ") + number(choice.value) + " " + choice.name;
  return text;
}

std::string pad(std::string text, size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

std::string title(const od::ClassDescription &d) {
  return std::string(d.name) + (*d.arguments ? std::string("(") + d.arguments + ")" : "");
}

} // namespace

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", value);
  return text;
}

std::string rangeText(const od::PortDescription &port, double sampleRate, int frameLength) {
  if (!port.hasRange()) return "";
  std::string text = number(port.minAt(sampleRate, frameLength)) + " .. " + number(port.maxAt(sampleRate, frameLength));
  if (*port.unit) text += std::string(" ") + port.unit;
  const std::string low = followsText(port.min), high = followsText(port.max);
  if (low == high && !low.empty()) text += " (" + low + ")";
  else if (!low.empty() && !high.empty()) text += " (min " + low + "; max " + high + ")";
  else if (!low.empty()) text += " (min " + low + ")";
  else if (!high.empty()) text += " (max " + high + ")";
  return text;
}

std::string listing(const od::ClassDescription &d, double sampleRate, int frameLength) {
  std::string text = title(d) + "\n";
  text += std::string("  ") + d.summary + " (" + od::familyName(d.family) + ")\n";
  text += "  tail: " + tailText(d) + "\n";
  if (*d.portsFollow) text += std::string("  ports: ") + d.portsFollow + "\n";
  if (d.passesByDefault && d.ports.count) text += "  with its defaults alone it passes its input (until set or gated)\n";
  for (od::PortKind kind : {od::PortKind::Inlet, od::PortKind::Outlet, od::PortKind::Parameter, od::PortKind::Option}) {
    std::string lines;
    for (const od::PortDescription &port : d.ports) {
      if (port.kind != kind) continue;
      std::string line = "    " + pad(port.name, 11) + pad(od::roleName(port.role), 9);
      if (port.hasRange()) {
        const std::string range = port.choices.count ? choicesText(port) : rangeText(port, sampleRate, frameLength);
        line += pad(range, 26) + "  default " + pad(number(port.defaultValue), 7);
      }
      line += std::string("  ") + port.description;
      if (port.minChannels > 1) line += " (with " + number(port.minChannels) + " channels or more)";
      lines += line + "\n";
    }
    if (!lines.empty()) text += std::string("  ") + od::kindName(kind) + "s:\n" + lines;
  }
  if (!d.ports.count) text += "  no ports of its own\n";
  return text;
}

std::string json(const od::ClassDescription &d, double sampleRate, int frameLength) {
  std::string text = "{\"name\": " + quoted(d.name) + ", \"family\": " + quoted(od::familyName(d.family)) +
                     ", \"summary\": " + quoted(d.summary) + ", \"tail\": " +
                     (d.tailSeconds == od::kEndlessTail ? std::string("null") : exactNumber(d.tailSeconds)) +
                     ", \"tailNote\": " + quoted(d.tailNote) + ", \"arguments\": " + quoted(d.arguments) +
                     ", \"portsFollow\": " + quoted(d.portsFollow) +
                     ", \"passesByDefault\": " + (d.passesByDefault ? "true" : "false") + ", \"ports\": [";
  bool first = true;
  for (const od::PortDescription &port : d.ports) {
    text += first ? "\n  " : ",\n  ";
    first = false;
    text += "{\"name\": " + quoted(port.name) + ", \"kind\": " + quoted(od::kindName(port.kind)) +
            ", \"role\": " + quoted(od::roleName(port.role)) + ", \"quantity\": " + quoted(port.quantity);
    if (port.hasRange())
      text += ", \"min\": " + exactNumber(port.minAt(sampleRate, frameLength)) +
              ", \"max\": " + exactNumber(port.maxAt(sampleRate, frameLength)) +
              ", \"default\": " + exactNumber(port.defaultValue) + ", \"minFollows\": " +
              quoted(scaleName(port.min.scale)) + ", \"maxFollows\": " + quoted(scaleName(port.max.scale));
    text += ", \"unit\": " + quoted(port.unit) + ", \"choices\": [";
    for (const od::Choice &choice : port.choices)
      text += std::string(&choice == port.choices.items ? "" : ", ") + "{\"value\": " + number(choice.value) +
              ", \"name\": " + quoted(choice.name) + "}";
    text += "], \"description\": " + quoted(port.description);
    if (port.minChannels > 1) text += ", \"minChannels\": " + number(port.minChannels);
    text += "}";
  }
  return text + (first ? "]}" : "\n]}");
}

std::string markdownPage() {
  std::string text =
      "# Classes and their ports\n\n"
      "Generated from the class descriptions by `qvz_docs` (a test fails when this page is stale:\n"
      "run `build/qvz_docs > docs/units.md`). Limits that follow the sample rate are given at\n"
      "48 kHz and frames of 128 samples; `qvz units --rate R` states them at another rate.\n"
      "Inlet defaults are what the host feeds an unconnected inlet.\n";
  od::Family family = od::Family::Host;
  bool any = false;
  for (od::ClassList list : {od::libraryDescriptions(), od::hostDescriptions()}) {
    for (const od::ClassDescription *d : list) {
      if (!any || d->family != family) text += std::string("\n## ") + od::familyName(d->family) + "\n";
      any = true;
      family = d->family;
      text += "\n### `" + title(*d) + "`\n\n" + d->summary + ". Tail: " + tailText(*d) + ".";
      if (*d->portsFollow) text += std::string(" Ports: ") + d->portsFollow + ".";
      text += "\n";
      if (!d->ports.count) continue;
      text += "\n| port | kind | role | range | default | description |\n|---|---|---|---|---|---|\n";
      for (const od::PortDescription &port : d->ports) {
        const bool range = port.hasRange();
        text += std::string("| \"") + port.name + "\" | " + od::kindName(port.kind) + " | " + od::roleName(port.role) +
                " | " + (port.choices.count ? choicesText(port) : rangeText(port, kStatedRate, kStatedFrame)) + " | " +
                (range ? number(port.defaultValue) : "") + " | " + port.description +
                (port.minChannels > 1 ? " (with " + number(port.minChannels) + " channels)" : "") + " |\n";
      }
    }
  }
  return text;
}

} // namespace qvzdescribe
