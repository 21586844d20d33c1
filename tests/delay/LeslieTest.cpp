#include "units/delay/Leslie.h"

#include "support/Harness.h"
#include "support/Stream.h"
#include "support/UnitRegistry.h"

#include <od/BigHeap.h>

#include <gtest/gtest.h>

#include <cmath>

QVZ_REGISTER_UNIT("Leslie", [] { return new Leslie(); }, 0.02f);

namespace {

using qvztest::constant;
using qvztest::Held;
using qvztest::Stream;

float tone(long i) { return 0.6f * sinf(0.013f * (float)i); }

struct Sides {
  std::vector<float> left, right;
};

// Renders `samples` of `input` with constant controls.
Sides spin(std::function<float(long)> input, float fast, float depth, float drive, float blend, long samples) {
  Held<Leslie> leslie;
  Stream stream(*leslie);
  stream.drive(leslie->mIn, input);
  stream.drive(leslie->mFast, constant(fast));
  stream.drive(leslie->mDepth, constant(depth));
  stream.drive(leslie->mDrive, constant(drive));
  stream.drive(leslie->mBlend, constant(blend));
  const std::vector<float> &left = stream.record(leslie->mOutL);
  const std::vector<float> &right = stream.record(leslie->mOutR);
  stream.run(samples);
  return {left, right};
}

TEST(Leslie, BlendZeroIsDryAndNoLinesCopiesTheInput) {
  for (bool refused : {false, true}) {
    if (refused) od::BigHeap::refuseNth(1);
    const Sides out = spin(tone, 1.0f, 1.0f, 0.5f, refused ? 1.0f : 0.0f, 3000);
    for (long i = 0; i < 3000; i++) {
      ASSERT_EQ(out.left[i], tone(i)) << "sample " << i;
      ASSERT_EQ(out.right[i], tone(i)) << "sample " << i;
    }
  }
}

TEST(Leslie, AtZeroDepthBothSidesAreTheSaturatedInput1point2MillisecondsLater) {
  const Sides out = spin(tone, 1.0f, 0.0f, 0.0f, 1.0f, 4800);
  // v = x (27 + x^2) / (27 + 9 x^2), read 57.6 samples back.
  auto v = [](long i) {
    const float x = tone(i);
    return x * (27.0f + x * x) / (27.0f + 9.0f * x * x);
  };
  for (long i = 100; i < 4800; i++) {
    const float expected = v(i - 58) + (v(i - 57) - v(i - 58)) * 0.4f;
    ASSERT_NEAR(out.left[i], expected, 2e-5f) << "sample " << i;
    ASSERT_EQ(out.left[i], out.right[i]) << "sample " << i;
  }
}

TEST(Leslie, DriveRaisesTheInputAndScalesTheResultBack) {
  // Constant input, depth 0: the output settles at v. Drive 1 with x = 0.25: u = 1,
  // v = (28 / 36) / 1.7. Drive 0 with x = 0.5: v = 0.5 x 27.25 / 29.25, below the input.
  auto settle = [](float x, float drive) { return spin(constant(x), 0.0f, 0.0f, drive, 1.0f, 2400).left.back(); };
  EXPECT_NEAR(settle(0.25f, 1.0f), 28.0f / 36.0f / 1.7f, 1e-5f);
  EXPECT_NEAR(settle(0.25f, NAN), 28.0f / 36.0f / 1.7f, 1e-5f);
  EXPECT_NEAR(settle(0.25f, 5.0f), 28.0f / 36.0f / 1.7f, 1e-5f);
  EXPECT_NEAR(settle(0.5f, 0.0f), 0.5f * 27.25f / 29.25f, 1e-5f);
  EXPECT_NEAR(settle(0.5f, -1.0f), 0.5f * 27.25f / 29.25f, 1e-5f);
}

TEST(Leslie, RotorsGlideToTheirSpeedsWithTheirOwnInertia) {
  Held<Leslie> leslie;
  Stream stream(*leslie);
  bool fast = true;
  stream.drive(leslie->mFast, [&fast](long) { return fast ? 1.0f : 0.0f; });
  EXPECT_EQ(leslie->hornSpeed(), 0.8f);
  EXPECT_EQ(leslie->drumSpeed(), 0.66f);
  const float e = 1.0f - expf(-1.0f);
  stream.run(38400); // 0.8 s: one horn time constant
  EXPECT_NEAR(leslie->hornSpeed(), 0.8f + 6.0f * e, 0.01f);
  stream.run(153600); // 4 s in all: one drum time constant
  EXPECT_NEAR(leslie->drumSpeed(), 0.66f + 5.24f * e, 0.01f);
  EXPECT_NEAR(leslie->hornSpeed(), 6.8f - 6.0f * expf(-5.0f), 0.01f);
  // Slowing down takes 1.1 s for the horn and 5 s for the drum.
  fast = false;
  const float horn = leslie->hornSpeed(), drum = leslie->drumSpeed();
  stream.run(52800);
  EXPECT_NEAR(leslie->hornSpeed(), horn + (0.8f - horn) * e, 0.01f);
  EXPECT_NEAR(leslie->drumSpeed(), drum + (0.66f - drum) * (1.0f - expf(-1.1f / 5.0f)), 0.01f);
}

TEST(Leslie, DepthPansTheRotorsAcrossTheSides) {
  // At full depth the two sides differ and their difference follows the rotors; the sum
  // stays near the centred signal.
  const Sides out = spin(tone, 0.0f, 1.0f, 0.0f, 1.0f, 96000);
  float largest = 0.0f, difference = 0.0f;
  for (long i = 0; i < 96000; i++) {
    largest = std::max({largest, std::fabs(out.left[i]), std::fabs(out.right[i])});
    difference = std::max(difference, std::fabs(out.left[i] - out.right[i]));
  }
  EXPECT_GT(difference, 0.3f);
  EXPECT_LT(largest, 1.4f * 0.6f);
}

} // namespace
