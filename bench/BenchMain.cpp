// Cost of every audio class: ns per sample, share of one core at the host rate, and the
// worst frame over ten seconds of audio relative to the median frame.

#include "BenchRegistry.h"

#include <od/Denormals.h>
#include <od/Random.h>
#include <od/config.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>

namespace qvzbench {

std::vector<BenchEntry> &benchRegistry() {
  static std::vector<BenchEntry> registry;
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

// An instance of a class with every inlet fed by its driver.
struct Rig {
  explicit Rig(const BenchEntry &entry) : object(entry.make()) {
    object->attach();
    for (int i = 0; i < object->inputCount(); i++) {
      od::Inlet *inlet = object->getInput(i);
      feeds.push_back(std::make_unique<od::Outlet>("bench"));
      inlet->connect(feeds.back().get());
      drivers.push_back(driverFor(entry, i, inlet->name()));
    }
    if (entry.prepare) entry.prepare(object);
  }
  ~Rig() {
    for (int i = 0; i < object->inputCount(); i++) object->getInput(i)->disconnect();
    object->release();
  }
  // Inputs are generated once for a loop of frames, then copied in frame by frame.
  void precompute(long frames) {
    loopFrames = frames;
    inputs.assign(feeds.size(), std::vector<float>((size_t)(frames * kBenchFrame)));
    for (size_t i = 0; i < feeds.size(); i++)
      for (long f = 0; f < frames; f++)
        drivers[i](inputs[i].data() + f * kBenchFrame, kBenchFrame, (double)f * kBenchFrame / kBenchRate, (float)kBenchRate);
  }
  void feed(long frame) {
    const long f = frame % loopFrames;
    for (size_t i = 0; i < feeds.size(); i++)
      std::memcpy(feeds[i]->buffer(), inputs[i].data() + f * kBenchFrame, sizeof(float) * kBenchFrame);
  }
  void frame() {
    object->updateParameters();
    object->process();
  }
  od::Object *object;
  std::vector<std::unique_ptr<od::Outlet>> feeds;
  std::vector<Driver> drivers;
  std::vector<std::vector<float>> inputs;
  long loopFrames = 1;
};

bool gSmoke = false;

void runUnit(benchmark::State &state, const BenchEntry &entry) {
  od::configure(kBenchRate, kBenchFrame);
  od::Random::seed(1);
  od::DenormalGuard guard;
  const long frames = gSmoke ? 8 : (long)(kWorstFrameSeconds * kBenchRate / kBenchFrame);
  Rig rig(entry);
  rig.precompute(frames);
  long frame = 0;
  for (auto _ : state) {
    rig.feed(frame++);
    rig.frame();
    benchmark::ClobberMemory();
  }

  // Worst frame over ten seconds of audio, against the median frame.
  std::vector<double> times((size_t)frames);
  Rig fresh(entry);
  fresh.inputs = rig.inputs;
  fresh.loopFrames = rig.loopFrames;
  for (long f = 0; f < frames; f++) {
    fresh.feed(f);
    const auto start = std::chrono::steady_clock::now();
    fresh.frame();
    times[(size_t)f] = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
  }
  std::vector<double> sorted = times;
  std::sort(sorted.begin(), sorted.end());
  const double median = sorted[sorted.size() / 2];
  const double perSample = median / kBenchFrame / std::max(1, entry.channels);
  state.counters["median ns/sample"] = perSample;
  state.counters["% core"] = 100.0 * median / (1e9 * kBenchFrame / kBenchRate);
  state.counters["worst/median"] = median > 0 ? sorted.back() / median : 0.0;
}

} // namespace
} // namespace qvzbench

int main(int argc, char **argv) {
  std::vector<char *> args(argv, argv + argc);
  static char smokeTime[] = "--benchmark_min_time=0.0001";
  for (auto it = args.begin(); it != args.end(); ++it) {
    if (std::strcmp(*it, "--smoke") == 0) {
      qvzbench::gSmoke = true;
      *it = smokeTime;
    }
  }
  for (const qvzbench::BenchEntry &entry : qvzbench::benchRegistry())
    benchmark::RegisterBenchmark(entry.name.c_str(),
                                 [&entry](benchmark::State &state) { qvzbench::runUnit(state, entry); })
        ->Unit(benchmark::kMicrosecond);
  int count = (int)args.size();
  benchmark::Initialize(&count, args.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
