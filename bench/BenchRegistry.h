#pragma once

// The classes the benchmarks run, each with the way a patch would drive it.

#include <od/Object.h>

#include <functional>
#include <string>
#include <vector>

namespace qvzbench {

// Fills one frame of an inlet; `time` is the frame's start in seconds.
using Driver = std::function<void(float *buffer, int frameLength, double time, float sampleRate)>;

struct BenchEntry {
  std::string name;
  std::function<od::Object *()> make;
  int channels;                           // ns per sample are reported per channel
  std::vector<std::pair<std::string, Driver>> drivers; // inlets driven specially; others get defaults
  std::function<void(od::Object *)> prepare;           // parameters, options, memory sizing
};

std::vector<BenchEntry> &benchRegistry();

struct RegisterBench {
  explicit RegisterBench(BenchEntry entry) { benchRegistry().push_back(std::move(entry)); }
};

// Drivers for the usual shapes of control.
Driver audio();                                // band-limited noise at about -12 dBFS
Driver constant(float value);
Driver lfo(float centre, float depth, float hz); // a slow sine around centre
Driver pulses(float hz);                       // a 5 ms gate every 1/hz seconds

// The driver of inlet `index` named `name`: the entry's own, else audio for the first
// inlet and a slow sine around 0.5 for the others.
inline Driver driverFor(const BenchEntry &entry, int index, const std::string &name) {
  for (const auto &named : entry.drivers)
    if (named.first == name) return named.second;
  return index == 0 ? audio() : lfo(0.5f, 0.2f, 0.3f);
}

} // namespace qvzbench
