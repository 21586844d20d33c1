#pragma once

#include <string>

namespace qvz {

struct RenderSettings {
  std::string patchPath;    // empty: the built-in demo patch
  std::string outputPath;
  std::string inputPath;    // empty: no input file (two silent input channels)
  std::string plotPath;     // empty: no plot
  std::string midiPath;     // empty: no MIDI file for the patch's MIDI objects
  double seconds = -1.0;    // below 0: the input's length, or defaultSeconds without input
  double defaultSeconds = 10.0;
  int sampleRate = 0;       // 0: the input's rate, or 48000 Hz without input
  int frameLength = 128;
  unsigned seed = 0;
};

// Renders a patch to a WAV file (and a plot), printing a summary line to stdout and a
// progress line to stderr on renders longer than a second. Throws Failure on any error.
void render(const RenderSettings &settings);

// The built-in demo patch.
std::string demoPatch();

} // namespace qvz
