#include "units/delay/PitchShifter.h"

#include "support/Harness.h"
#include "support/Stream.h"
#include "support/Tone.h"
#include "support/UnitRegistry.h"

#include <od/BigHeap.h>

#include <gtest/gtest.h>

#include <cmath>

QVZ_REGISTER_UNIT("PitchShifter", [] { return new PitchShifter(); }, 0.1f);

namespace {

using qvztest::constant;
using qvztest::Held;
using qvztest::Stream;

constexpr double kRate = 48000.0;
// 40 ms at 48 kHz: window 1920 samples, line 2 x 1920 + 8.
constexpr long kLine = 3848;

std::function<float(long)> sine(double hz, float amplitude = 0.5f) {
  return [hz, amplitude](long i) { return amplitude * (float)std::sin(2.0 * M_PI * hz * (double)i / kRate); };
}

// Renders `seconds` of a 440 Hz sine through one voice at `speed` and returns "Out".
std::vector<float> shift(float speed, double seconds) {
  Held<PitchShifter> shifter;
  Stream stream(*shifter);
  stream.drive(shifter->mIn, sine(440.0));
  stream.drive(shifter->mBlend, constant(1.0f));
  stream.drive(shifter->mSpeed1, constant(speed));
  const std::vector<float> &out = stream.record(shifter->mOut);
  stream.run((long)(seconds * kRate));
  return out;
}

TEST(PitchShifter, TransposesBySpeed) {
  for (float speed : {2.0f, 0.5f, 1.5f}) {
    const std::vector<float> out = shift(speed, 1.0);
    const double expected = 440.0 * speed;
    const double peak = qvztest::peakFrequency(out, kLine, out.size(), expected - 60.0, expected + 60.0, 0.5, kRate);
    EXPECT_NEAR(peak, expected, 2.0) << "speed " << speed;
    // The transposed tone dominates what is left of the original.
    EXPECT_GT(qvztest::tonePower(out, kLine, out.size(), expected, kRate),
              20.0 * qvztest::tonePower(out, kLine, out.size(), 440.0, kRate))
        << "speed " << speed;
  }
}

TEST(PitchShifter, SplicesKeepTheHeadsInStep) {
  // With matched splices the two heads of a transposed sine add in phase: the level holds
  // within a few percent, where heads half a window apart meeting out of phase dip by 20 %.
  const std::vector<float> out = shift(2.0f, 1.0);
  const int block = 110; // two periods of 880 Hz, rounded up
  for (size_t start = 2 * kLine; start + block <= out.size(); start += block) {
    float peak = 0.0f;
    for (size_t i = start; i < start + block; i++) peak = std::max(peak, std::fabs(out[i]));
    ASSERT_GT(peak, 0.48f) << "block at " << start;
    ASSERT_LT(peak, 0.52f) << "block at " << start;
  }
}

TEST(PitchShifter, AtUnitySpeedTheOutputIsTheInputDelayedByHalfAWindow) {
  Held<PitchShifter> shifter;
  Stream stream(*shifter);
  stream.drive(shifter->mIn, qvztest::impulseAt(100));
  stream.drive(shifter->mBlend, constant(1.0f));
  stream.drive(shifter->mSpeed1, constant(1.0f));
  const std::vector<float> &out = stream.record(shifter->mOut);
  stream.run(2 * kLine);
  for (size_t i = 0; i < out.size(); i++) ASSERT_EQ(out[i], i == 100 + 961 ? 1.0f : 0.0f) << "sample " << i;
}

TEST(PitchShifter, VoiceCountIsLimitedAndVoicesShareTheLevel) {
  Held<PitchShifter> shifter;
  EXPECT_EQ(shifter->getVoiceCount(), 1);
  shifter->setVoiceCount(0);
  EXPECT_EQ(shifter->getVoiceCount(), 1);
  shifter->setVoiceCount(-5);
  EXPECT_EQ(shifter->getVoiceCount(), 1);
  shifter->setVoiceCount(7);
  EXPECT_EQ(shifter->getVoiceCount(), 3);
  shifter->setVoiceCount(2);
  EXPECT_EQ(shifter->getVoiceCount(), 2);

  // With the second voice an octave up, the first voice's echo is heard at half level.
  Held<PitchShifter> pair;
  pair->setVoiceCount(2);
  Stream second(*pair);
  second.drive(pair->mIn, qvztest::impulseAt(10));
  second.drive(pair->mBlend, constant(1.0f));
  second.drive(pair->mSpeed1, constant(1.0f));
  second.drive(pair->mSpeed2, constant(2.0f));
  const std::vector<float> &mixed = second.record(pair->mOut);
  second.run(1200);
  EXPECT_NEAR(mixed[10 + 961], 0.5f, 1e-6f);
}

TEST(PitchShifter, SettingTheVoiceCountRestartsTheVoicesButKeepsTheLine) {
  Held<PitchShifter> shifter;
  Stream stream(*shifter);
  float speed = 2.0f;
  stream.drive(shifter->mIn, qvztest::impulseAt(500));
  stream.drive(shifter->mBlend, constant(1.0f));
  stream.drive(shifter->mSpeed1, [&speed](long) { return speed; });
  const std::vector<float> &out = stream.record(shifter->mOut);
  stream.run(640); // the heads have moved
  shifter->setVoiceCount(1);
  speed = 1.0f;
  stream.run(1280);
  // Restarted heads stand at their first delay again and still find the impulse in the line.
  EXPECT_EQ(out[500 + 961], 1.0f);
}

TEST(PitchShifter, ControlsAreClampedAndNotANumberTakesTheLimit) {
  // Renders 0.3 s of noise-like input with the given speed and blend.
  auto render = [](float speed, float blend) {
    Held<PitchShifter> shifter;
    Stream stream(*shifter);
    stream.drive(shifter->mIn, [](long i) { return (float)std::sin(0.37 * (double)i) * (float)std::sin(0.011 * (double)i); });
    stream.drive(shifter->mBlend, constant(blend));
    stream.drive(shifter->mSpeed1, constant(speed));
    const std::vector<float> &out = stream.record(shifter->mOut);
    stream.run(14400);
    return out;
  };
  EXPECT_EQ(render(9.0f, 1.0f), render(4.0f, 1.0f));
  EXPECT_EQ(render(-9.0f, 1.0f), render(-4.0f, 1.0f));
  EXPECT_EQ(render(NAN, 1.0f), render(4.0f, 1.0f));
  EXPECT_NE(render(3.0f, 1.0f), render(4.0f, 1.0f));
  EXPECT_EQ(render(3.0f, 2.0f), render(3.0f, 1.0f));
  EXPECT_EQ(render(3.0f, NAN), render(3.0f, 1.0f));
  const std::vector<float> dry = render(3.0f, 0.0f);
  const std::vector<float> negative = render(3.0f, -1.0f);
  for (size_t i = 0; i < dry.size(); i++) {
    const float x = (float)std::sin(0.37 * (double)i) * (float)std::sin(0.011 * (double)i);
    ASSERT_EQ(dry[i], x) << "sample " << i;
    ASSERT_EQ(negative[i], x) << "sample " << i;
  }
}

TEST(PitchShifter, WithoutItsLineItPassesTheInput) {
  od::BigHeap::refuseNth(1);
  Held<PitchShifter> shifter;
  Stream stream(*shifter);
  stream.drive(shifter->mIn, sine(440.0));
  stream.drive(shifter->mBlend, constant(1.0f));
  stream.drive(shifter->mSpeed1, constant(2.0f));
  const std::vector<float> &out = stream.record(shifter->mOut);
  stream.run(1000);
  for (size_t i = 0; i < out.size(); i++) ASSERT_EQ(out[i], sine(440.0)((long)i)) << "sample " << i;
}

} // namespace
