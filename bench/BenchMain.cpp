// Cost of every audio class: ns per sample, share of one core at the host rate, the worst
// frame over ten seconds of audio relative to the median frame, and the ratio to the peers and
// reference kernels measured in the same run. Prints one table; --json=PATH writes it as JSON.

#include "BenchRegistry.h"

#include <od/Denormals.h>
#include <od/Description.h>
#include <od/Random.h>
#include <od/config.h>

#include <benchmark/benchmark.h>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define QVZ_BENCH_CALLGRIND 1
#endif

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

namespace qvzbench {

std::vector<BenchEntry> &benchRegistry() {
  static std::vector<BenchEntry> registry;
  return registry;
}

Driver driverFor(const BenchEntry &entry, int index, const std::string &name) {
  for (const auto &named : entry.drivers)
    if (named.first == name) return named.second;
  const od::ClassDescription *description = od::findDescription(entry.name.c_str());
  const od::PortDescription *port = description ? description->find(name.c_str(), od::PortKind::Inlet) : nullptr;
  if (!port) return index == 0 ? audio() : lfo(0.5f, 0.2f, 0.3f);
  switch (port->role) {
  case od::PortRole::Audio: return audio();
  case od::PortRole::Trigger: return pulses(2.0f);
  case od::PortRole::Gate: return constant(0.0f);
  default: break;
  }
  const double low = port->minAt(od::Limit::kDescribedRate), high = port->maxAt(od::Limit::kDescribedRate);
  const double depth = std::min(0.1 * (high - low), std::min(port->defaultValue - low, high - port->defaultValue));
  return lfo((float)port->defaultValue, (float)std::max(depth, 0.0), 0.3f);
}

std::vector<std::string> registryMismatches() {
  std::vector<std::string> mismatches;
  for (const od::ClassDescription *d : od::libraryDescriptions()) {
    bool benched = false;
    for (const BenchEntry &entry : benchRegistry()) benched |= entry.name == d->name;
    if (d->ports.count && !benched) mismatches.push_back(std::string(d->name) + " has no benchmark");
  }
  for (const BenchEntry &entry : benchRegistry())
    if (!od::findDescription(entry.name.c_str())) mismatches.push_back(entry.name + " is not a described class");
  return mismatches;
}

std::vector<CompareEntry> &compareRegistry() {
  static std::vector<CompareEntry> registry;
  return registry;
}

std::vector<WorkCount> &workCountRegistry() {
  static std::vector<WorkCount> registry;
  return registry;
}

Driver audio() {
  return [](float *b, int n, double, float) {
    float previous = 0.0f;
    for (int i = 0; i < n; i++) {
      previous = 0.7f * previous + 0.075f * od::Random::generateFloat(-1.0f, 1.0f);
      b[i] = previous;
    }
  };
}

Driver constant(float value) {
  return [value](float *b, int n, double, float) { std::fill(b, b + n, value); };
}

Driver lfo(float centre, float depth, float hz) {
  return [=](float *b, int n, double t, float rate) {
    for (int i = 0; i < n; i++) b[i] = centre + depth * (float)std::sin(2.0 * M_PI * hz * (t + i / (double)rate));
  };
}

Driver pulses(float hz) {
  return [hz](float *b, int n, double t, float rate) {
    for (int i = 0; i < n; i++) {
      const double phase = std::fmod((t + i / (double)rate) * hz, 1.0);
      b[i] = phase * (1.0 / hz) < 0.005 ? 1.0f : 0.0f;
    }
  };
}

namespace {

constexpr int kBenchRate = 48000;
constexpr int kBenchFrame = 128;
constexpr double kWorstFrameSeconds = 10.0;
constexpr int kTimedPasses = 5; // per frame the fastest of the passes: the same work, least preemption

bool gSmoke = false;

const char *kindName(CompareKind kind) {
  return kind == CompareKind::Peer ? "peer" : kind == CompareKind::Plugin ? "plugin" : "reference";
}

long benchFrames() { return gSmoke ? 8 : (long)(kWorstFrameSeconds * kBenchRate / kBenchFrame); }

// Input frames generated once for a loop of frames, copied in frame by frame.
struct InputTape {
  void record(const std::vector<Driver> &drivers, long frames) {
    loopFrames = frames;
    tracks.assign(drivers.size(), std::vector<float>((size_t)(frames * kBenchFrame)));
    for (size_t i = 0; i < drivers.size(); i++)
      for (long f = 0; f < frames; f++)
        drivers[i](tracks[i].data() + f * kBenchFrame, kBenchFrame, (double)f * kBenchFrame / kBenchRate,
                   (float)kBenchRate);
  }
  const float *at(size_t track, long frame) const {
    return tracks[track].data() + (frame % loopFrames) * kBenchFrame;
  }
  std::vector<std::vector<float>> tracks;
  long loopFrames = 1;
};

// Something run frame by frame: a unit with its inlets fed, or a kernel.
class Subject {
public:
  virtual ~Subject() = default;
  virtual void feed(long frame) = 0; // not timed
  virtual void frame() = 0;          // timed
  virtual int work() { return 0; }   // pieces of work sounding in the last frame
};

std::vector<Driver> unitDrivers(const BenchEntry &entry) {
  std::unique_ptr<od::Object, void (*)(od::Object *)> probe(entry.make(), [](od::Object *o) {
    o->attach();
    o->release();
  });
  std::vector<Driver> drivers;
  for (int i = 0; i < probe->inputCount(); i++) drivers.push_back(driverFor(entry, i, probe->getInput(i)->name()));
  return drivers;
}

const WorkCount *workCountOf(const std::string &unit) {
  for (const WorkCount &w : workCountRegistry())
    if (w.unit == unit) return &w;
  return nullptr;
}

// An instance of a class with every inlet fed from the tape.
class UnitSubject : public Subject {
public:
  UnitSubject(const BenchEntry &entry, const InputTape &tape) : mObject(entry.make()), mTape(tape) {
    mObject->attach();
    for (int i = 0; i < mObject->inputCount(); i++) {
      mFeeds.push_back(std::make_unique<od::Outlet>("bench"));
      mObject->getInput(i)->connect(mFeeds.back().get());
    }
    if (entry.prepare) entry.prepare(mObject);
    mCount = workCountOf(entry.name);
  }
  ~UnitSubject() override {
    for (int i = 0; i < mObject->inputCount(); i++) mObject->getInput(i)->disconnect();
    mObject->release();
  }
  void feed(long frame) override {
    for (size_t i = 0; i < mFeeds.size(); i++)
      std::memcpy(mFeeds[i]->buffer(), mTape.at(i, frame), sizeof(float) * kBenchFrame);
  }
  void frame() override {
    mObject->updateParameters();
    mObject->process();
  }
  int work() override { return mCount ? mCount->count(mObject) : 0; }

private:
  od::Object *mObject;
  const InputTape &mTape;
  std::vector<std::unique_ptr<od::Outlet>> mFeeds;
  const WorkCount *mCount = nullptr;
};

class KernelSubject : public Subject {
public:
  KernelSubject(const CompareEntry &entry, const InputTape &tape)
      : mKernel(entry.make((float)kBenchRate)), mTape(tape), mIn(tape.tracks.size() * kBenchFrame),
        mOut((size_t)entry.outputs * kBenchFrame) {
    for (size_t i = 0; i < tape.tracks.size(); i++) mInPointers.push_back(mIn.data() + i * kBenchFrame);
    for (int i = 0; i < entry.outputs; i++) mOutPointers.push_back(mOut.data() + i * kBenchFrame);
  }
  void feed(long frame) override {
    for (size_t i = 0; i < mInPointers.size(); i++)
      std::memcpy(mInPointers[i], mTape.at(i, frame), sizeof(float) * kBenchFrame);
  }
  void frame() override { mKernel->process(mInPointers.data(), mOutPointers.data(), kBenchFrame); }

private:
  std::unique_ptr<Kernel> mKernel;
  const InputTape &mTape;
  std::vector<float> mIn, mOut;
  std::vector<float *> mInPointers, mOutPointers;
};

struct Measurement {
  std::string name;
  int channels = 1;
  double medianFrameNs = 0.0;
  double worstFrameNs = 0.0;
  double meanWork = 0.0; // pieces of work per frame, where counted
  double nsPerSample() const { return medianFrameNs / kBenchFrame / std::max(1, channels); }
  double percentCore() const { return 100.0 * medianFrameNs / (1e9 * kBenchFrame / kBenchRate); }
  double worstRatio() const { return medianFrameNs > 0.0 ? worstFrameNs / medianFrameNs : 0.0; }
};

std::map<std::string, Measurement> gUnits;
std::map<size_t, Measurement> gCompares; // by index in compareRegistry()

// Times every frame of ten seconds of audio on fresh subjects, the subjects taking turns pass
// by pass so that a unit and what it is compared with meet the same load; per frame the
// fastest pass counts (every pass does the same work, so the fastest saw least preemption).
std::vector<Measurement> timeFrames(const std::vector<std::function<std::unique_ptr<Subject>()>> &makers,
                                    const std::vector<int> &channels, long frames) {
  const size_t count = makers.size();
  std::vector<std::vector<double>> best(count, std::vector<double>((size_t)frames, INFINITY));
  std::vector<double> work(count, 0.0);
  const int passes = gSmoke ? 1 : kTimedPasses;
  for (int pass = 0; pass < passes; pass++) {
    for (size_t s = 0; s < count; s++) {
      od::Random::seed(1);
      std::unique_ptr<Subject> subject = makers[s]();
      std::vector<double> &times = best[s];
      for (long f = 0; f < frames; f++) {
        subject->feed(f);
        const auto start = std::chrono::steady_clock::now();
        subject->frame();
        const double ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
        times[(size_t)f] = std::min(times[(size_t)f], ns);
        if (pass == 0) work[s] += subject->work();
      }
    }
  }
  std::vector<Measurement> result(count);
  for (size_t s = 0; s < count; s++) {
    std::vector<double> sorted = best[s];
    std::sort(sorted.begin(), sorted.end());
    result[s].channels = channels[s];
    result[s].medianFrameNs = sorted[sorted.size() / 2];
    result[s].worstFrameNs = sorted.back();
    result[s].meanWork = work[s] / (double)frames;
  }
  return result;
}

void loop(benchmark::State &state, Subject &subject) {
  long frame = 0;
  for (auto _ : state) {
    subject.feed(frame++);
    subject.frame();
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBenchFrame);
}

const BenchEntry *unitEntry(const std::string &name) {
  for (const BenchEntry &entry : benchRegistry())
    if (entry.name == name) return &entry;
  return nullptr;
}

std::vector<Driver> compareDrivers(const CompareEntry &entry) {
  return entry.inputs.empty() ? unitDrivers(*unitEntry(entry.unit)) : entry.inputs;
}

// Google Benchmark's own loop over the unit, then the timed frames of the unit and of every
// kernel compared with it, taking turns.
void runUnit(benchmark::State &state, const BenchEntry &entry) {
  od::configure(kBenchRate, kBenchFrame);
  od::DenormalGuard guard;
  od::Random::seed(1);
  std::vector<size_t> compares;
  for (size_t i = 0; i < compareRegistry().size(); i++)
    if (compareRegistry()[i].unit == entry.name) compares.push_back(i);
  std::vector<InputTape> tapes(1 + compares.size());
  tapes[0].record(unitDrivers(entry), benchFrames());
  for (size_t c = 0; c < compares.size(); c++) {
    od::Random::seed(1);
    tapes[1 + c].record(compareDrivers(compareRegistry()[compares[c]]), benchFrames());
  }
  {
    od::Random::seed(1);
    UnitSubject subject(entry, tapes[0]);
    loop(state, subject);
  }
  std::vector<std::function<std::unique_ptr<Subject>()>> makers;
  std::vector<int> channels;
  makers.push_back([&] { return std::unique_ptr<Subject>(new UnitSubject(entry, tapes[0])); });
  channels.push_back(entry.channels);
  for (size_t c = 0; c < compares.size(); c++) {
    const CompareEntry &compare = compareRegistry()[compares[c]];
    const InputTape &tape = tapes[1 + c];
    makers.push_back([&compare, &tape] { return std::unique_ptr<Subject>(new KernelSubject(compare, tape)); });
    channels.push_back(compare.kind == CompareKind::Plugin ? entry.channels : compare.channels);
  }
  std::vector<Measurement> measured = timeFrames(makers, channels, benchFrames());
  measured[0].name = entry.name;
  gUnits[entry.name] = measured[0];
  for (size_t c = 0; c < compares.size(); c++) {
    measured[1 + c].name = compareRegistry()[compares[c]].label;
    gCompares[compares[c]] = measured[1 + c];
  }
  state.counters["ns/sample"] = measured[0].nsPerSample();
  state.counters["worst/median"] = measured[0].worstRatio();
}

// Google Benchmark's own loop over a kernel; its timed frames were taken beside its unit.
void runCompare(benchmark::State &state, size_t index) {
  const CompareEntry &entry = compareRegistry()[index];
  od::configure(kBenchRate, kBenchFrame);
  od::DenormalGuard guard;
  od::Random::seed(1);
  InputTape tape;
  tape.record(compareDrivers(entry), gSmoke ? 8 : 64);
  KernelSubject subject(entry, tape);
  loop(state, subject);
  auto measured = gCompares.find(index);
  if (measured != gCompares.end()) state.counters["ns/sample"] = measured->second.nsPerSample();
}

// Instruction counts under callgrind, free of the machine's load: every unit whose name contains
// `filter`, and each kernel compared with it, runs `frames` frames with collection switched on
// only around process(); each subject's counts are dumped under its own name (see
// scripts/bench-callgrind). Outside callgrind the client requests do nothing.
int countInstructions(const std::string &filter, long frames) {
#ifdef QVZ_BENCH_CALLGRIND
  od::configure(kBenchRate, kBenchFrame);
  od::DenormalGuard guard;
  auto run = [frames](Subject &subject, const std::string &label, int channels) {
    for (long f = 0; f < frames; f++) {
      subject.feed(f);
      CALLGRIND_TOGGLE_COLLECT;
      subject.frame();
      CALLGRIND_TOGGLE_COLLECT;
    }
    const std::string dump = label + "|" + std::to_string(frames * kBenchFrame * channels);
    CALLGRIND_DUMP_STATS_AT(dump.c_str());
  };
  for (const BenchEntry &entry : benchRegistry()) {
    if (entry.name.find(filter) == std::string::npos) continue;
    od::Random::seed(1);
    InputTape tape;
    tape.record(unitDrivers(entry), frames);
    od::Random::seed(1);
    {
      UnitSubject subject(entry, tape);
      run(subject, entry.name + "|unit", entry.channels);
    }
    for (const CompareEntry &compare : compareRegistry()) {
      if (compare.unit != entry.name) continue;
      od::Random::seed(1);
      InputTape kernelTape;
      kernelTape.record(compareDrivers(compare), frames);
      od::Random::seed(1);
      KernelSubject subject(compare, kernelTape);
      // A plug-in runs the unit's channels, as in the timed comparison.
      run(subject, entry.name + "|" + kindName(compare.kind) + " " + compare.label,
          compare.kind == CompareKind::Plugin ? entry.channels : compare.channels);
    }
  }
  return 0;
#else
  (void)filter;
  (void)frames;
  std::fprintf(stderr, "built without valgrind/callgrind.h: no instruction counts\n");
  return 1;
#endif
}

std::string jsonString(const std::string &s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

double loadAverage() {
  double load = -1.0;
  if (FILE *f = std::fopen("/proc/loadavg", "r")) {
    if (std::fscanf(f, "%lf", &load) != 1) load = -1.0;
    std::fclose(f);
  }
  return load;
}

// The table, one row per unit, its comparisons indented beneath it; then the whole set.
void report(const std::string &jsonPath, double loadBefore) {
  const double loadAfter = loadAverage();
  std::printf("\n%-36s %10s %8s %8s %9s %9s\n", "unit", "ns/sample", "% core", "worst/md", "x peer", "x ref");
  std::string json = "{\n  \"sampleRate\": " + std::to_string(kBenchRate) +
                     ",\n  \"frameLength\": " + std::to_string(kBenchFrame) +
                     ",\n  \"loadBefore\": " + std::to_string(loadBefore) +
                     ",\n  \"loadAfter\": " + std::to_string(loadAfter) + ",\n  \"units\": [";
  double totalFrameNs = 0.0;
  bool firstUnit = true;
  for (const BenchEntry &entry : benchRegistry()) {
    auto found = gUnits.find(entry.name);
    if (found == gUnits.end()) continue;
    const Measurement &u = found->second;
    totalFrameNs += u.medianFrameNs;
    double peerRatio = NAN, refRatio = NAN;
    bool peerTargeted = false, refTargeted = false;
    std::string rows, compares;
    for (size_t i = 0; i < compareRegistry().size(); i++) {
      const CompareEntry &c = compareRegistry()[i];
      auto measured = gCompares.find(i);
      if (c.unit != entry.name || measured == gCompares.end()) continue;
      if (c.kind == CompareKind::Plugin) {
        // The plug-in over its bare unit: what the wrapper adds.
        const double cost = measured->second.nsPerSample() / u.nsPerSample();
        char line[256];
        std::snprintf(line, sizeof line, "  plug %-29.29s %10.2f %19s x%-6.2f target %.2f %s\n", c.label.c_str(),
                      measured->second.nsPerSample(), "", cost, c.target, cost <= c.target ? "met" : "MISSED");
        rows += line;
        compares += std::string(compares.empty() ? "" : ",") + "\n      {\"kind\": \"plugin\", \"label\": " +
                    jsonString(c.label) + ", \"nsPerSample\": " + std::to_string(measured->second.nsPerSample()) +
                    ", \"thisOverUnit\": " + std::to_string(cost) + ", \"target\": " + std::to_string(c.target) + "}";
        continue;
      }
      const double ratio = u.nsPerSample() / measured->second.nsPerSample();
      // The unit's row shows the comparison that carries a target, else the first one.
      double &primary = c.kind == CompareKind::Peer ? peerRatio : refRatio;
      bool &targeted = c.kind == CompareKind::Peer ? peerTargeted : refTargeted;
      if (std::isnan(primary) || (c.target > 0.0 && !targeted)) {
        primary = ratio;
        targeted = c.target > 0.0;
      }
      char verdict[48] = "";
      if (c.target > 0.0)
        std::snprintf(verdict, sizeof verdict, "target %.2f %s", c.target, ratio <= c.target ? "met" : "MISSED");
      char line[256];
      std::snprintf(line, sizeof line, "  %s %-29.29s %10.2f %19s x%-6.2f %s\n",
                    c.kind == CompareKind::Peer ? "peer" : "ref ", c.label.c_str(), measured->second.nsPerSample(), "",
                    ratio, verdict);
      rows += line;
      compares += std::string(compares.empty() ? "" : ",") + "\n      {\"kind\": " + jsonString(kindName(c.kind)) +
                  ", \"label\": " + jsonString(c.label) + ", \"nsPerSample\": " +
                  std::to_string(measured->second.nsPerSample()) + ", \"unitOverThis\": " + std::to_string(ratio) +
                  ", \"target\": " + (c.target > 0.0 ? std::to_string(c.target) : std::string("null")) + "}";
    }
    auto ratioText = [](double r) {
      char text[32];
      if (std::isnan(r)) std::snprintf(text, sizeof text, "%9s", "-");
      else std::snprintf(text, sizeof text, "%9.2f", r);
      return std::string(text);
    };
    std::printf("%-36s %10.2f %8.3f %8.2f %s %s\n", entry.name.c_str(), u.nsPerSample(), u.percentCore(),
                u.worstRatio(), ratioText(peerRatio).c_str(), ratioText(refRatio).c_str());
    std::printf("%s", rows.c_str());
    std::string work;
    if (const WorkCount *w = workCountOf(entry.name)) {
      const double perPiece = u.meanWork > 0.0 ? u.medianFrameNs / kBenchFrame / u.meanWork : NAN;
      std::printf("  %.2f %ss sounding on average: %.2f ns per sample per %s\n", u.meanWork, w->what.c_str(), perPiece,
                  w->what.c_str());
      work = ", \"work\": " + jsonString(w->what) + ", \"meanWork\": " + std::to_string(u.meanWork) +
             ", \"nsPerSamplePerWork\": " + (std::isnan(perPiece) ? std::string("null") : std::to_string(perPiece));
    }
    json += std::string(firstUnit ? "" : ",") + "\n    {\"name\": " + jsonString(entry.name) +
            ", \"channels\": " + std::to_string(entry.channels) + ", \"nsPerSample\": " +
            std::to_string(u.nsPerSample()) + ", \"percentCore\": " + std::to_string(u.percentCore()) +
            ", \"worstOverMedian\": " + std::to_string(u.worstRatio()) + work + ", \"compares\": [" + compares +
            (compares.empty() ? "]}" : "\n    ]}");
    firstUnit = false;
  }
  const double totalPerSample = totalFrameNs / kBenchFrame;
  const double totalCore = 100.0 * totalFrameNs / (1e9 * kBenchFrame / kBenchRate);
  std::printf("%-36s %10.2f %8.3f   (%zu classes, ns per sample of the whole set)\n", "all units together",
              totalPerSample, totalCore, gUnits.size());
  std::printf("  the whole set: target 1 %% of one core (%.0f ns per sample) %s\n", 1e9 / kBenchRate / 100.0,
              totalCore <= 1.0 ? "met" : "MISSED");
  std::printf("load average %.2f before, %.2f after\n", loadBefore, loadAfter);
  json += "\n  ],\n  \"total\": {\"classes\": " + std::to_string(gUnits.size()) + ", \"nsPerSample\": " +
          std::to_string(totalPerSample) + ", \"percentCore\": " + std::to_string(totalCore) + "}\n}\n";
  if (!jsonPath.empty()) {
    if (FILE *f = std::fopen(jsonPath.c_str(), "w")) {
      std::fputs(json.c_str(), f);
      std::fclose(f);
      std::printf("wrote %s\n", jsonPath.c_str());
    } else {
      std::fprintf(stderr, "cannot write %s\n", jsonPath.c_str());
    }
  }
}

} // namespace
} // namespace qvzbench

int main(int argc, char **argv) {
  std::vector<char *> args;
  static char smokeTime[] = "--benchmark_min_time=0.0001";
  std::string jsonPath;
  for (int i = 0; i < argc; i++) {
    if (std::strcmp(argv[i], "--smoke") == 0) {
      qvzbench::gSmoke = true;
      args.push_back(smokeTime);
    } else if (std::strncmp(argv[i], "--json=", 7) == 0) {
      jsonPath = argv[i] + 7;
    } else if (std::strncmp(argv[i], "--instructions", 14) == 0) {
      // --instructions[=NAME]: counts for the units whose name contains NAME (all without it)
      const char *filter = argv[i][14] == '=' ? argv[i] + 15 : "";
      return qvzbench::countInstructions(filter, 750);
    } else {
      args.push_back(argv[i]);
    }
  }
  for (const std::string &mismatch : qvzbench::registryMismatches()) {
    std::fprintf(stderr, "qvz_bench: %s\n", mismatch.c_str());
    return 1;
  }
  const double load = qvzbench::loadAverage();
  // Each unit, then the kernels compared with it.
  for (const qvzbench::BenchEntry &entry : qvzbench::benchRegistry()) {
    benchmark::RegisterBenchmark(entry.name.c_str(),
                                 [&entry](benchmark::State &state) { qvzbench::runUnit(state, entry); })
        ->Unit(benchmark::kMicrosecond);
    for (size_t i = 0; i < qvzbench::compareRegistry().size(); i++) {
      const qvzbench::CompareEntry &c = qvzbench::compareRegistry()[i];
      if (c.unit != entry.name) continue;
      const std::string name = c.unit + "/" + qvzbench::kindName(c.kind) + ":" + c.label;
      benchmark::RegisterBenchmark(name.c_str(), [i](benchmark::State &state) { qvzbench::runCompare(state, i); })
          ->Unit(benchmark::kMicrosecond);
    }
  }
  int count = (int)args.size();
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  qvzbench::report(jsonPath, load);
  return 0;
}
