#include <od/Clock.h>
#include <od/Noise.h>
#include <od/Player.h>
#include <od/Random.h>
#include <od/Sine.h>

#include "support/Harness.h"
#include "support/Stream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace {

constexpr int kRate = 48000;
constexpr int kFrame = 128;

std::vector<float> render(od::Object &object, int samples) {
  return qvztest::stream(object, *object.getOutput("Out"), samples, qvztest::keepInputs);
}

int risingZeroCrossings(const std::vector<float> &x) {
  int count = 0;
  for (size_t i = 1; i < x.size(); i++)
    if (x[i - 1] < 0.0f && x[i] >= 0.0f) count++;
  return count;
}

TEST(Sine, DefaultsTo440HzAtFullLevelAndFollowsItsInletsPerSample) {
  qvztest::ConfigScope config(kRate, kFrame);
  qvztest::Held<od::Sine> sine;
  // Ten seconds from phase 0: 4400 cycles, whose first upward crossing is sample 0 itself.
  std::vector<float> second = render(*sine, 10 * kRate);
  EXPECT_EQ(risingZeroCrossings(second), 4399);
  float peak = 0.0f;
  for (float v : second) peak = std::max(peak, std::fabs(v));
  EXPECT_NEAR(peak, 1.0f, 1e-4f);

  // A quarter-cycle step: 12 kHz at 48 kHz gives 0, 1, 0, -1.
  qvztest::Held<od::Sine> fast;
  fast->mFrequency.setConstant(12000.0f);
  fast->mLevel.setConstant(0.5f);
  std::vector<float> steps = render(*fast, 8);
  const float expected[] = {0.0f, 0.5f, 0.0f, -0.5f, 0.0f, 0.5f, 0.0f, -0.5f};
  for (int i = 0; i < 8; i++) EXPECT_NEAR(steps[i], expected[i], 1e-6f) << i;

  // A frequency driven per sample: 1 kHz for the first half second, 2 kHz for the second.
  qvztest::Held<od::Sine> swept;
  qvztest::Feeder feeder;
  float *frequency = feeder.feed(swept->mFrequency);
  std::vector<float> out;
  for (int frame = 0; frame < kRate / kFrame; frame++) {
    for (int i = 0; i < kFrame; i++) frequency[i] = frame * kFrame + i < kRate / 2 ? 1000.0f : 2000.0f;
    qvztest::runFrame(*swept);
    out.insert(out.end(), swept->mOut.buffer(), swept->mOut.buffer() + kFrame);
  }
  EXPECT_NEAR(risingZeroCrossings(out), 1500, 1);
}

TEST(Sine, ANonFiniteFrequencyDoesNotSpoilLaterOutput) {
  qvztest::ConfigScope config(kRate, kFrame);
  qvztest::Held<od::Sine> sine;
  sine->mFrequency.setConstant(std::numeric_limits<float>::quiet_NaN());
  render(*sine, kFrame);
  sine->mFrequency.setConstant(std::numeric_limits<float>::infinity());
  render(*sine, kFrame);
  sine->mFrequency.setConstant(100.0f);
  for (float v : render(*sine, kRate / 10)) ASSERT_TRUE(std::isfinite(v));
  EXPECT_EQ(risingZeroCrossings(render(*sine, kRate)), 100);
}

TEST(Noise, StaysWithinItsLevelAndRepeatsForTheSameSeed) {
  qvztest::ConfigScope config(kRate, kFrame);
  qvztest::Held<od::Noise> noise;
  noise->mLevel.setConstant(0.25f);
  od::Random::seed(7);
  const std::vector<float> first = render(*noise, kRate);
  double sum = 0.0, squares = 0.0;
  for (float v : first) {
    ASSERT_LE(std::fabs(v), 0.25f);
    sum += v;
    squares += (double)v * v;
  }
  EXPECT_NEAR(sum / kRate, 0.0, 0.01);
  // Uniform on [-L, L]: RMS = L / sqrt(3).
  EXPECT_NEAR(std::sqrt(squares / kRate), 0.25 / std::sqrt(3.0), 0.005);

  od::Random::seed(7);
  EXPECT_EQ(render(*noise, kRate), first);
  od::Random::seed(8);
  EXPECT_NE(render(*noise, kRate), first);
}

// Pulse starts and their lengths in samples.
struct Pulses {
  std::vector<int> starts;
  std::vector<int> lengths;
};

Pulses pulsesOf(const std::vector<float> &x) {
  Pulses p;
  for (size_t i = 0; i < x.size(); i++) {
    EXPECT_TRUE(x[i] == 0.0f || x[i] == 1.0f) << "sample " << i << " is " << x[i];
    if (x[i] == 1.0f && (i == 0 || x[i - 1] == 0.0f)) {
      p.starts.push_back((int)i);
      p.lengths.push_back(0);
    }
    if (x[i] == 1.0f) p.lengths.back()++;
  }
  return p;
}

TEST(Clock, PulsesOnEveryBeatForItsWidth) {
  qvztest::ConfigScope config(kRate, kFrame);
  qvztest::Held<od::Clock> clock;
  // Defaults: 120 BPM, 5 ms pulses from the first sample on.
  Pulses p = pulsesOf(render(*clock, 2 * kRate));
  EXPECT_EQ(p.starts, (std::vector<int>{0, 24000, 48000, 72000}));
  for (int length : p.lengths) EXPECT_EQ(length, 240);

  qvztest::Held<od::Clock> hz;
  hz->mHz.hardSet(10.0f); // overrides BPM
  hz->mWidth.hardSet(0.0f); // at least one sample
  p = pulsesOf(render(*hz, kRate));
  ASSERT_EQ(p.starts.size(), 10u);
  EXPECT_EQ(p.starts[9], 9 * 4800);
  for (int length : p.lengths) EXPECT_EQ(length, 1);
}

TEST(Clock, KeepsPulsesApartAndStopsOnARateThatIsNotPositive) {
  qvztest::ConfigScope config(kRate, kFrame);
  qvztest::Held<od::Clock> clock;
  clock->mHz.hardSet(1000.0f);
  clock->mWidth.hardSet(1.0f); // a second-long pulse on a 48-sample beat
  Pulses p = pulsesOf(render(*clock, 480));
  EXPECT_EQ(p.starts.size(), 10u);
  for (int length : p.lengths) EXPECT_EQ(length, 24);

  for (float bpm : {0.0f, -60.0f, std::numeric_limits<float>::quiet_NaN()}) {
    qvztest::Held<od::Clock> stopped;
    stopped->mBPM.hardSet(bpm);
    for (float v : render(*stopped, kRate / 10)) ASSERT_EQ(v, 0.0f) << bpm;
  }
}

// Left and right outlets of a player over a number of frames.
std::pair<std::vector<float>, std::vector<float>> play(od::Player &player, int frames) {
  std::vector<float> left, right;
  qvztest::streamStereo(player, player.mLeftOut, player.mRightOut, frames * globalConfig.frameLength, left, right,
                        qvztest::keepInputs);
  return {left, right};
}

TEST(Player, PlaysStereoAtTheSampleRateAndLoops) {
  qvztest::ConfigScope config(kRate, 8);
  qvztest::Held<od::Player> player;
  // Left 0 2 4 6, right 1 3 5 7, recorded at half the host rate: every source frame lasts two.
  od::Sample *sample = new od::Sample(2, 4, kRate / 2);
  for (int i = 0; i < 8; i++) sample->data()[i] = (float)i;
  player->setSample(sample);
  auto out = play(*player, 2);
  EXPECT_EQ(out.first, (std::vector<float>{0, 1, 2, 3, 4, 5, 6, 3, 0, 1, 2, 3, 4, 5, 6, 3}));
  EXPECT_EQ(out.second, (std::vector<float>{1, 2, 3, 4, 5, 6, 7, 4, 1, 2, 3, 4, 5, 6, 7, 4}));

  // Played once, the last frame fades into silence and the player stays silent.
  player->mLoop.set(0);
  player->setSample(sample); // from the start again
  out = play(*player, 2);
  EXPECT_EQ(out.first, (std::vector<float>{0, 1, 2, 3, 4, 5, 6, 3, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(Player, FeedsAMonoSampleToBothSidesAndHoldsItsSample) {
  qvztest::ConfigScope config(kRate, 4);
  const int before = od::ReferenceCounted::liveCount();
  {
    qvztest::Held<od::Player> player;
    od::Sample *sample = new od::Sample(1, 3, kRate);
    sample->data()[0] = 0.5f;
    sample->data()[1] = -0.5f;
    sample->data()[2] = 0.25f;
    player->setSample(sample);
    EXPECT_EQ(sample->referenceCount(), 1);
    auto out = play(*player, 1);
    EXPECT_EQ(out.first, (std::vector<float>{0.5f, -0.5f, 0.25f, 0.5f}));
    EXPECT_EQ(out.second, out.first);
    player->setSample(nullptr); // releases, and so ends, the sample
    EXPECT_EQ(od::ReferenceCounted::liveCount(), before + 1);
    out = play(*player, 1);
    EXPECT_EQ(out.first, (std::vector<float>(4, 0.0f)));
  }
  EXPECT_EQ(od::ReferenceCounted::liveCount(), before);
}

} // namespace
