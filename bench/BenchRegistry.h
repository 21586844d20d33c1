#pragma once

// The classes the benchmarks run, each with the way a patch would drive it, and the kernels
// they are measured against: peers (what a user would run instead) and reference kernels
// (the same arithmetic as the unit with nothing around it).

#include <od/Object.h>

#include <functional>
#include <memory>
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

// A unit of work measured beside a unit: it reads `inputs` (one frame each) and writes
// `outputs` (one frame each), keeping its own state between calls.
class Kernel {
public:
  virtual ~Kernel() = default;
  virtual void process(const float *const *inputs, float *const *outputs, int frameLength) = 0;
};

enum class CompareKind { Peer, Reference };

struct CompareEntry {
  std::string unit;                 // the unit it is set beside
  CompareKind kind;
  std::string label;                // what it is, for the table
  int channels;                     // ns per sample are per channel, as for the unit
  std::vector<Driver> inputs;       // one driver per input; none: the unit's inlets, in order, driven as for the unit
  int outputs;
  double target;                    // the unit's cost over this one should stay at or below it; 0: none
  std::function<std::unique_ptr<Kernel>(float sampleRate)> make;
};

std::vector<CompareEntry> &compareRegistry();

struct RegisterCompare {
  explicit RegisterCompare(CompareEntry entry) { compareRegistry().push_back(std::move(entry)); }
};

// Units whose cost is best read per piece of work (MorphoHead: per sounding grain): after
// each frame `count` tells how many pieces were working.
struct WorkCount {
  std::string unit;
  std::string what;
  std::function<int(od::Object *)> count;
};

std::vector<WorkCount> &workCountRegistry();

struct RegisterWorkCount {
  explicit RegisterWorkCount(WorkCount entry) { workCountRegistry().push_back(std::move(entry)); }
};

// Drivers for the usual shapes of control.
Driver audio();                                // band-limited noise at about -12 dBFS
Driver constant(float value);
Driver lfo(float centre, float depth, float hz); // a slow sine around centre
Driver pulses(float hz);                       // a 5 ms gate every 1/hz seconds

// The driver of inlet `index` named `name`: the entry's own, else by the class description:
// audio for audio inlets, a pulse every half second for triggers, gates off, and controls a
// slow sine around their described default (a tenth of their range deep). An inlet the
// description does not know gets audio when first and a slow sine around 0.5 otherwise.
Driver driverFor(const BenchEntry &entry, int index, const std::string &name);

// Names of described classes with ports that have no benchmark, and of benchmarks whose
// class is not described; empty when the registry covers exactly the described classes.
std::vector<std::string> registryMismatches();

} // namespace qvzbench
