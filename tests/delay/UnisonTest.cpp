#include "units/delay/Unison.h"

#include "support/Harness.h"
#include "support/Stream.h"
#include "support/Tone.h"
#include "support/UnitRegistry.h"

#include <od/BigHeap.h>

#include <gtest/gtest.h>

#include <cmath>

QVZ_REGISTER_UNIT("Unison", [] { return new Unison(); }, 0.05f);

namespace {

using qvztest::constant;
using qvztest::Held;
using qvztest::Stream;

constexpr double kRate = 48000.0;

struct Outputs {
  std::vector<float> left, right, mono;
};

// Renders `samples` of `input` with constant controls.
Outputs unison(std::function<float(long)> input, float detune, float spread, float blend, long samples) {
  Held<Unison> unit;
  Stream stream(*unit);
  stream.drive(unit->mIn, input);
  stream.drive(unit->mDetune, constant(detune));
  stream.drive(unit->mSpread, constant(spread));
  stream.drive(unit->mBlend, constant(blend));
  const std::vector<float> &left = stream.record(unit->mOutL);
  const std::vector<float> &right = stream.record(unit->mOutR);
  const std::vector<float> &mono = stream.record(unit->mOutMono);
  stream.run(samples);
  return {left, right, mono};
}

float tone(long i) { return 0.5f * (float)std::sin(2.0 * M_PI * 440.0 * (double)i / kRate); }

TEST(Unison, BlendZeroIsDryAndNoBufferCopiesTheInput) {
  for (bool refused : {false, true}) {
    if (refused) od::BigHeap::refuseNth(1);
    const Outputs out = unison(tone, 50.0f, 1.0f, refused ? 1.0f : 0.0f, 3000);
    for (long i = 0; i < 3000; i++) {
      ASSERT_EQ(out.left[i], tone(i)) << "sample " << i;
      ASSERT_EQ(out.right[i], tone(i)) << "sample " << i;
      ASSERT_EQ(out.mono[i], tone(i)) << "sample " << i;
    }
  }
}

// Impulse responses at detune 0, where every voice's heads stand still: each voice is one
// or two echoes, at 1 + 0.5 x 1200 samples (gain 1) or 1 + 0.25 / 0.75 x 1200 (gain 12/17).
TEST(Unison, WithoutDetuneTheVoicesAreFixedEchoes) {
  const long at = 1000;
  const Outputs out = unison(qvztest::impulseAt(at), 0.0f, 0.0f, 1.0f, 3000);
  for (long i = 0; i < 3000; i++) {
    float expected = 0.0f;
    if (i == at + 601) expected = 0.5f;
    if (i == at + 301 || i == at + 901) expected = 6.0f / 17.0f;
    ASSERT_NEAR(out.mono[i], expected, 1e-6f) << "sample " << i;
    ASSERT_EQ(out.left[i], out.mono[i]) << "sample " << i;
    ASSERT_EQ(out.right[i], out.mono[i]) << "sample " << i;
  }
}

TEST(Unison, FullSpreadDelaysTwoVoicesBy10Milliseconds) {
  // After the spread has settled (20 ms time constant), voices 1 and 3 sit 480 samples later.
  const long at = 24000;
  const Outputs out = unison(qvztest::impulseAt(at), 0.0f, 1.0f, 1.0f, 26000);
  EXPECT_NEAR(out.mono[at + 601], 0.5f, 1e-4f);
  // The smoothed spread stops a few parts in 10^5 short of 1 in float, which spreads these
  // echoes over two neighbouring samples.
  EXPECT_NEAR(out.mono[at + 780] + out.mono[at + 781], 6.0f / 17.0f, 1e-4f);
  EXPECT_NEAR(out.mono[at + 1380] + out.mono[at + 1381], 6.0f / 17.0f, 1e-4f);
  EXPECT_NEAR(out.mono[at + 301], 0.0f, 1e-4f);
  EXPECT_NEAR(out.mono[at + 901], 0.0f, 1e-4f);
  // Each side carries two voices at twice their mono share.
  EXPECT_NEAR(out.left[at + 601], 0.5f, 1e-4f);
  EXPECT_NEAR(out.right[at + 780] + out.right[at + 781], 6.0f / 17.0f, 1e-4f);
}

TEST(Unison, DetunedVoicesSitAtTheirCentsAndSpreadSendsSharpRightAndFlatLeft) {
  // Detune 100 cents: voice 0 at +100, voice 3 at +40 (right), voices 1 and 2 at -100 and
  // -40 (left). A 480 Hz input repeats every 100 samples, so a voice's two heads, 600
  // samples apart, read it in phase and the voice is a clean transposed tone. The reading
  // window starts after the smoothing and the first crossfades.
  auto input = [](long i) { return 0.5f * (float)std::sin(2.0 * M_PI * 480.0 * (double)i / kRate); };
  const Outputs out = unison(input, 100.0f, 1.0f, 1.0f, 96000 + 48000);
  const size_t begin = 48000, end = out.right.size();
  auto cents = [](double c) { return 480.0 * std::pow(2.0, c / 1200.0); };
  EXPECT_NEAR(qvztest::peakFrequency(out.right, begin, end, 500.0, 520.0, 0.25, kRate), cents(100), 0.5);
  EXPECT_NEAR(qvztest::peakFrequency(out.right, begin, end, 485.0, 498.0, 0.25, kRate), cents(40), 0.5);
  EXPECT_NEAR(qvztest::peakFrequency(out.left, begin, end, 440.0, 460.0, 0.25, kRate), cents(-100), 0.5);
  EXPECT_NEAR(qvztest::peakFrequency(out.left, begin, end, 462.0, 475.0, 0.25, kRate), cents(-40), 0.5);
  const double sharpRight = qvztest::tonePower(out.right, begin, end, cents(100), kRate);
  const double sharpLeft = qvztest::tonePower(out.left, begin, end, cents(100), kRate);
  const double flatLeft = qvztest::tonePower(out.left, begin, end, cents(-100), kRate);
  const double flatRight = qvztest::tonePower(out.right, begin, end, cents(-100), kRate);
  EXPECT_GT(sharpRight, 100.0 * sharpLeft);
  EXPECT_GT(flatLeft, 100.0 * flatRight);
}

TEST(Unison, ControlsBeyondTheirRangesActAsTheLimits) {
  auto mono = [](float detune, float spread, float blend) { return unison(tone, detune, spread, blend, 9600).mono; };
  auto left = [](float detune, float spread) { return unison(tone, detune, spread, 1.0f, 9600).left; };
  EXPECT_EQ(mono(150.0f, 0.5f, 1.0f), mono(100.0f, 0.5f, 1.0f));
  EXPECT_EQ(mono(NAN, 0.5f, 1.0f), mono(100.0f, 0.5f, 1.0f));
  EXPECT_EQ(mono(-20.0f, 0.5f, 1.0f), mono(0.0f, 0.5f, 1.0f));
  EXPECT_NE(mono(50.0f, 0.5f, 1.0f), mono(100.0f, 0.5f, 1.0f));
  EXPECT_EQ(left(30.0f, 2.0f), left(30.0f, 1.0f));
  EXPECT_EQ(left(30.0f, NAN), left(30.0f, 1.0f));
  EXPECT_EQ(left(30.0f, -1.0f), left(30.0f, 0.0f));
  EXPECT_EQ(mono(30.0f, 0.5f, NAN), mono(30.0f, 0.5f, 1.0f));
  EXPECT_EQ(mono(30.0f, 0.5f, 3.0f), mono(30.0f, 0.5f, 1.0f));
}

} // namespace
