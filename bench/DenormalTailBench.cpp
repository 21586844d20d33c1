// Cost of the silent tail: every class runs a second of driven input, then ten seconds of
// silence with denormals left on (no flush-to-zero), and reports the cost of the last five
// seconds of silence against the cost of the driven second. A ratio well above 1 means
// decaying state has gone subnormal; the aim is at most 2.

#include "BenchRegistry.h"

#include <od/Random.h>
#include <od/config.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <vector>

namespace qvzbench {
namespace {

constexpr int kRate = 48000;
constexpr int kFrame = 128;
constexpr double kActiveSeconds = 1.0;
constexpr double kSilenceSeconds = 10.0;
constexpr double kMeasuredTailSeconds = 5.0;

double frameCost(od::Object &object) {
  const auto start = std::chrono::steady_clock::now();
  object.updateParameters();
  object.process();
  return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
}

void silentTail(benchmark::State &state) {
  od::configure(kRate, kFrame);
  const long activeFrames = (long)(kActiveSeconds * kRate / kFrame);
  const long silentFrames = (long)(kSilenceSeconds * kRate / kFrame);
  const long measuredFrom = silentFrames - (long)(kMeasuredTailSeconds * kRate / kFrame);
  for (auto _ : state) {
    for (const BenchEntry &entry : benchRegistry()) {
      od::Random::seed(1);
      od::Object *object = entry.make();
      object->attach();
      if (entry.prepare) entry.prepare(object);
      std::vector<std::unique_ptr<od::Outlet>> feeds;
      std::vector<Driver> drivers;
      for (int i = 0; i < object->inputCount(); i++) {
        od::Inlet *inlet = object->getInput(i);
        feeds.push_back(std::make_unique<od::Outlet>("bench"));
        inlet->connect(feeds.back().get());
        drivers.push_back(driverFor(entry, i, inlet->name()));
      }
      double active = 0.0, tail = 0.0;
      for (long f = 0; f < activeFrames; f++) {
        for (size_t i = 0; i < feeds.size(); i++)
          drivers[i](feeds[i]->buffer(), kFrame, (double)f * kFrame / kRate, (float)kRate);
        active += frameCost(*object);
      }
      // Silence on the audio input; controls keep their last values, as a patch would.
      if (!feeds.empty()) std::fill(feeds[0]->buffer(), feeds[0]->buffer() + kFrame, 0.0f);
      for (long f = 0; f < silentFrames; f++) {
        const double cost = frameCost(*object);
        if (f >= measuredFrom) tail += cost;
      }
      state.counters[entry.name + " tail/active"] =
          active > 0.0 ? (tail / (double)(silentFrames - measuredFrom)) / (active / (double)activeFrames) : 0.0;
      for (int i = 0; i < object->inputCount(); i++) object->getInput(i)->disconnect();
      object->release();
    }
  }
}

BENCHMARK(silentTail)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
} // namespace qvzbench
