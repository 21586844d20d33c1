#pragma once

// Class descriptions as text: the listing of `qvz units`, its JSON form for tools, and the
// Markdown page docs/units.md. Limits that follow the rate are given at `sampleRate` and
// `frameLength` and say what they follow.

#include <od/Description.h>

#include <string>

namespace qvzdescribe {

// A number as people write it: up to 6 significant digits, no trailing zeros.
std::string number(double value);

// "0.02 .. 0.5 s", "0 .. 21600 Hz (0.45 x rate; 21600 at 48 kHz)"; empty for an outlet.
std::string rangeText(const od::PortDescription &port, double sampleRate, int frameLength);

// One class as a block of lines for `qvz units`.
std::string listing(const od::ClassDescription &description, double sampleRate, int frameLength);

// One class as a JSON object.
std::string json(const od::ClassDescription &description, double sampleRate, int frameLength);

// Every class, library then host objects, as the Markdown page of port tables (at 48 kHz).
std::string markdownPage();

} // namespace qvzdescribe
