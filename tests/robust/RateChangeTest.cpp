// A unit keeps the rate it was built at: reconfigured afterwards, it gives exactly what it
// gives at its own rate, and no frame length the host picks later reaches past its memory
// (the sanitizer build checks every access).

#include "RobustRig.h"

#include <od/Random.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using qvzrobust::Rig;

constexpr int kBuildRate = 44100;
constexpr int kFrameLength = 128;
constexpr int kFrames = 40;

// Builds the unit at 44.1 kHz, switches the host to `runRate` and records kFrames frames of
// every outlet; then runs a few frames at each of several frame lengths, whose outputs must
// stay finite.
std::vector<float> runBuiltAt44k(const qvztest::UnitEntry &entry, int runRate) {
  qvztest::ConfigScope scope(kBuildRate, kFrameLength);
  od::RandomSource noise(7);
  od::Random::Scope context(noise);
  Rig rig(entry);
  od::configure(runRate, kFrameLength);
  qvzrobust::VectorSource source(qvzrobust::runSeed(3, entry.name, kBuildRate, kFrameLength));
  const qvzrobust::ControlVector v = source.draw(*rig.object, qvzrobust::Kind::InRange);
  rig.apply(v);
  std::vector<float> recorded;
  long frame = 0;
  for (; frame < kFrames; frame++) {
    rig.fill(v, frame);
    qvztest::runFrame(*rig.object);
    rig.appendOutputs(recorded);
  }
  for (int frameLength : {od::kMaxFrameLength, 7, 1, 333}) {
    od::configure(runRate, frameLength);
    for (int k = 0; k < 3; k++, frame++) {
      rig.fill(v, frame);
      qvztest::runFrame(*rig.object);
      EXPECT_LT(rig.firstNonFinite(), 0) << "frame length " << frameLength;
    }
  }
  return recorded;
}

TEST(RobustRates, UnitsComputeAtTheirBuildRateWhateverTheHostSetsLater) {
  for (const qvztest::UnitEntry &entry : qvztest::unitRegistry()) {
    SCOPED_TRACE(entry.name);
    const std::vector<float> own = runBuiltAt44k(entry, kBuildRate);
    for (int rate : {48000, 192000, 8000}) {
      const std::vector<float> moved = runBuiltAt44k(entry, rate);
      ASSERT_EQ(moved.size(), own.size());
      EXPECT_EQ(std::memcmp(moved.data(), own.data(), own.size() * sizeof(float)), 0) << "run at " << rate << " Hz";
    }
  }
}

} // namespace
