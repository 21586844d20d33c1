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
  int bits = 32;            // 32-bit float, or 16 or 24-bit integers with dither
  bool alwaysRf64 = false;  // RF64 even when the file would fit a plain WAV
  double tailSeconds = 0.0; // rendered at most past the nominal end while the output still sounds
};

// Frame lengths are whole multiples of it: units process a frame in groups of four samples.
constexpr int kFrameStep = 4;

// The longest tail `--tail auto` keeps, in seconds.
constexpr double kAutoTailSeconds = 30.0;

// Renders a patch to a WAV file (and a plot), printing a summary line to stdout (stderr when
// the WAV goes to standard output), warnings and a progress line to stderr on renders longer
// than a second. Throws Failure on any error.
void render(const RenderSettings &settings);

// The built-in demo patch.
std::string demoPatch();

} // namespace qvz
