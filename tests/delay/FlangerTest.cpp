#include "units/delay/Flanger.h"

#include "support/Harness.h"
#include "support/Stream.h"
#include "support/UnitRegistry.h"

#include <od/BigHeap.h>

#include <gtest/gtest.h>

#include <cmath>

QVZ_REGISTER_UNIT("Flanger", [] { return new Flanger(); }, 0.02f);

namespace {

using qvztest::constant;
using qvztest::Held;
using qvztest::Stream;

float left(long i) { return 0.5f * sinf(0.05f * (float)i); }
float right(long i) { return 0.3f * sinf(0.021f * (float)i + 1.0f); }

struct Controls {
  float rate = 1.0f, depth = 1.0f, feedback = 0.5f, blend = 1.0f;
};

// Renders both outputs for `samples` samples of the two test signals.
std::pair<std::vector<float>, std::vector<float>> flange(const Controls &c, long samples) {
  Held<Flanger> flanger;
  Stream stream(*flanger);
  stream.drive(flanger->mIn, left);
  stream.drive(flanger->mInR, right);
  stream.drive(flanger->mRate, constant(c.rate));
  stream.drive(flanger->mDepth, constant(c.depth));
  stream.drive(flanger->mFeedback, constant(c.feedback));
  stream.drive(flanger->mBlend, constant(c.blend));
  const std::vector<float> &outL = stream.record(flanger->mOut);
  const std::vector<float> &outR = stream.record(flanger->mOutR);
  stream.run(samples);
  return {outL, outR};
}

TEST(Flanger, BlendZeroIsDryAndNoLinesIsAPassThrough) {
  Controls dryMix;
  dryMix.blend = 0.0f;
  for (bool refused : {false, true}) {
    if (refused) od::BigHeap::refuseNth(1);
    const auto out = flange(refused ? Controls() : dryMix, 2000);
    for (size_t i = 0; i < out.first.size(); i++) {
      ASSERT_EQ(out.first[i], left((long)i)) << "sample " << i;
      ASSERT_EQ(out.second[i], right((long)i)) << "sample " << i;
    }
  }
}

TEST(Flanger, AtZeroDepthTheWetPathIsTheInputHalfAMillisecondLater) {
  Controls c;
  c.depth = 0.0f;
  c.feedback = 0.0f;
  const auto out = flange(c, 9600);
  // After the delay has glided from 2 ms to 0.5 ms (24 samples; time constant 2 ms):
  for (long i = 4800; i < 9600; i++) {
    ASSERT_NEAR(out.first[i], 0.7071f * (left(i) + left(i - 24)), 1e-5f) << "sample " << i;
    ASSERT_NEAR(out.second[i], 0.7071f * (right(i) + right(i - 24)), 1e-5f) << "sample " << i;
  }
}

TEST(Flanger, SweepStaysWithinHalfAMillisecondAndEightMilliseconds) {
  // A ramp read by linear interpolation gives back its position exactly, so the wet path
  // of a ramp input shows the delay in samples: delay = i - wet / slope.
  Held<Flanger> flanger;
  Stream stream(*flanger);
  const float slope = 1e-3f;
  stream.drive(flanger->mIn, [slope](long i) { return slope * (float)i; });
  stream.drive(flanger->mRate, constant(2.0f));
  stream.drive(flanger->mDepth, constant(1.0f));
  stream.drive(flanger->mFeedback, constant(0.0f));
  stream.drive(flanger->mBlend, constant(1.0f));
  const std::vector<float> &out = stream.record(flanger->mOut);
  stream.run(48000);
  float shortest = 1e9f, longest = 0.0f;
  for (long i = 2400; i < 48000; i++) {
    const float wet = out[i] / 0.7071f - slope * (float)i;
    const float delay = (float)i - wet / slope;
    shortest = std::min(shortest, delay);
    longest = std::max(longest, delay);
  }
  EXPECT_NEAR(shortest, 24.0f, 0.5f);  // 0.5 ms
  EXPECT_NEAR(longest, 384.0f, 1.5f);  // 0.5 ms + 7.5 ms
}

TEST(Flanger, FeedbackAddsEchoesAtTheDelay) {
  // An impulse at depth 0 comes back every 24 samples, scaled by the feedback each time.
  Held<Flanger> flanger;
  Stream stream(*flanger);
  stream.drive(flanger->mIn, qvztest::impulseAt(4800));
  stream.drive(flanger->mDepth, constant(0.0f));
  stream.drive(flanger->mFeedback, constant(-0.5f));
  stream.drive(flanger->mBlend, constant(1.0f));
  const std::vector<float> &out = stream.record(flanger->mOut);
  stream.run(4900);
  EXPECT_NEAR(out[4800], 0.7071f, 1e-5f);
  EXPECT_NEAR(out[4824], 0.7071f, 1e-4f);
  EXPECT_NEAR(out[4848], 0.7071f * -0.5f, 1e-4f);
  EXPECT_NEAR(out[4872], 0.7071f * 0.25f, 1e-4f);
}

TEST(Flanger, ControlsBeyondTheirRangesActAsTheLimits) {
  auto with = [](float rate, float depth, float feedback, float blend) {
    Controls c;
    c.rate = rate;
    c.depth = depth;
    c.feedback = feedback;
    c.blend = blend;
    return flange(c, 6000);
  };
  EXPECT_EQ(with(50.0f, 1, 0.5f, 1), with(10.0f, 1, 0.5f, 1));
  EXPECT_EQ(with(NAN, 1, 0.5f, 1), with(10.0f, 1, 0.5f, 1));
  EXPECT_EQ(with(0.0f, 1, 0.5f, 1), with(0.01f, 1, 0.5f, 1));
  EXPECT_NE(with(5.0f, 1, 0.5f, 1), with(10.0f, 1, 0.5f, 1));
  EXPECT_EQ(with(1, 1, 1.0f, 1), with(1, 1, 0.95f, 1));
  EXPECT_EQ(with(1, 1, NAN, 1), with(1, 1, 0.95f, 1));
  EXPECT_EQ(with(1, 1, -1.0f, 1), with(1, 1, -0.95f, 1));
  EXPECT_EQ(with(1, 3.0f, 0.5f, 1), with(1, 1.0f, 0.5f, 1));
  EXPECT_EQ(with(1, NAN, 0.5f, 1), with(1, 1.0f, 0.5f, 1));
  EXPECT_EQ(with(1, 1, 0.5f, NAN), with(1, 1, 0.5f, 1));
  EXPECT_EQ(with(1, 1, 0.5f, 4.0f), with(1, 1, 0.5f, 1));
}

} // namespace
