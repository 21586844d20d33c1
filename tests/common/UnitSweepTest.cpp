// Properties every audio class shares, checked over all registered classes.

#include "support/AllocationCounter.h"
#include "support/Harness.h"
#include "support/UnitRegistry.h"

#include <od/Random.h>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using qvztest::runFrame;

constexpr int kFrames = 40;
constexpr float kTestAmplitude = 0.5f;

// A fresh instance of a registered class with every inlet fed from the test.
struct Rig : qvztest::FedObject {
  explicit Rig(const qvztest::UnitEntry &entry) : FedObject(entry.make()) {}

  // Fills every inlet: a sine of its own frequency, or silence.
  void fill(int frame, bool silent) {
    FedObject::fill(frame, [silent](int i, long k) {
      return silent ? 0.0f : kTestAmplitude * sinf(0.01f * (float)(i + 1) * (float)k);
    });
  }
};

std::vector<float> render(const qvztest::UnitEntry &entry, int frames) {
  od::Random::seed(1234);
  Rig rig(entry);
  std::vector<float> all;
  for (int f = 0; f < frames; f++) {
    rig.fill(f, false);
    runFrame(*rig.object);
    rig.appendOutputs(all);
  }
  return all;
}

TEST(EveryUnit, IsRegistered) { EXPECT_GE(qvztest::unitRegistry().size(), 2u); }

TEST(EveryUnit, OutputIsFiniteAndRepeatable) {
  for (const qvztest::UnitEntry &entry : qvztest::unitRegistry()) {
    const std::vector<float> first = render(entry, kFrames);
    const std::vector<float> second = render(entry, kFrames);
    ASSERT_EQ(first.size(), second.size()) << entry.name;
    for (size_t i = 0; i < first.size(); i++) {
      ASSERT_TRUE(std::isfinite(first[i])) << entry.name << " sample " << i;
      ASSERT_EQ(first[i], second[i]) << entry.name << " sample " << i;
    }
  }
}

TEST(EveryUnit, ProcessAllocatesNothing) {
  for (const qvztest::UnitEntry &entry : qvztest::unitRegistry()) {
    Rig rig(entry);
    runFrame(*rig.object); // first frame outside the count, as a host warms up
    qvztest::AllocationCounter counter;
    for (int f = 0; f < kFrames; f++) {
      rig.fill(f, false);
      runFrame(*rig.object);
    }
    const qvztest::AllocationCount count = counter.stop();
    EXPECT_EQ(count.allocations, 0) << entry.name;
    EXPECT_EQ(count.frees, 0) << entry.name;
  }
}

TEST(EveryUnit, SilenceInGivesSilenceOutAfterTheTail) {
  for (const qvztest::UnitEntry &entry : qvztest::unitRegistry()) {
    if (entry.tailSeconds < 0.0f) continue; // oscillates or plays on by design
    Rig rig(entry);
    for (int f = 0; f < kFrames; f++) {
      rig.fill(f, false);
      runFrame(*rig.object);
    }
    const int tailFrames = (int)(entry.tailSeconds * (float)globalConfig.sampleRate / (float)globalConfig.frameLength) + 2;
    for (int f = 0; f < tailFrames; f++) {
      rig.fill(f, true);
      runFrame(*rig.object);
    }
    for (float v : rig.outputs()) ASSERT_LE(std::fabs(v), 1e-4f) << entry.name;
  }
}

TEST(EveryUnit, ShortAndOddFramesStayFinite) {
  for (int frameLength : {1, 2, 3, 5, 6, 130}) {
    qvztest::ConfigScope scope(48000, frameLength);
    for (const qvztest::UnitEntry &entry : qvztest::unitRegistry()) {
      Rig rig(entry);
      for (int f = 0; f < 8; f++) {
        rig.fill(f, false);
        runFrame(*rig.object);
      }
      for (float v : rig.outputs()) ASSERT_TRUE(std::isfinite(v)) << entry.name << " frame length " << frameLength;
    }
  }
}

} // namespace
