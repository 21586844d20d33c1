#include "units/dynamics/FuzzBox.h"

#include "support/Stream.h"
#include "support/Harness.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using qvztest::ConfigScope;
using qvztest::Feeder;
using qvztest::Held;
using qvztest::keepInputs;
using qvztest::stream;

// Low-pass step at "Tone" 1 (12 kHz at 48 kHz): the first output sample is this times the
// shaped first input, since all memories start at 0.
constexpr float kBrightStep = 0.79212044f;

float firstOutput(float shape, float input, float drive = 0.0f, float grit = 0.0f, float tone = 1.0f) {
  Held<FuzzBox> fuzz;
  fuzz->mShape.hardSet(shape);
  fuzz->mIn.setConstant(input);
  fuzz->mDrive.setConstant(drive);
  fuzz->mGrit.setConstant(grit);
  fuzz->mTone.setConstant(tone);
  qvztest::runFrame(*fuzz);
  return fuzz->mOut.buffer()[0];
}

TEST(FuzzBox, ThreeCurvesShapeTheDrivenSignal) {
  // Mode 1: rational soft clip, flat at +-1 beyond +-3.
  EXPECT_NEAR(firstOutput(1, 0.5f), kBrightStep * 0.46581197f, 1e-6f);
  EXPECT_NEAR(firstOutput(1, 5.0f), kBrightStep * 1.0f, 1e-6f);
  EXPECT_NEAR(firstOutput(1, -5.0f), kBrightStep * -1.0f, 1e-6f);
  // Mode 2: hard clip.
  EXPECT_NEAR(firstOutput(2, 0.5f), kBrightStep * 0.5f, 1e-6f);
  EXPECT_NEAR(firstOutput(2, 1.7f), kBrightStep * 1.0f, 1e-6f);
  EXPECT_NEAR(firstOutput(2, -1.7f), kBrightStep * -1.0f, 1e-6f);
  // Mode 3: x4, the positive half flattens at 0.999999, the negative reaches -1.42857.
  EXPECT_NEAR(firstOutput(3, 0.5f), kBrightStep * 0.999999f, 1e-6f);
  EXPECT_NEAR(firstOutput(3, -0.5f), kBrightStep * -1.4058943f, 2e-6f);
  EXPECT_NEAR(firstOutput(3, 5.0f), kBrightStep * 0.999999f, 1e-6f);
  EXPECT_NEAR(firstOutput(3, -5.0f), kBrightStep * -1.42857f, 1e-6f);
}

TEST(FuzzBox, DriveTaperAndBiasPlacement) {
  // Drive 0 keeps small signals at unity; drive 1 multiplies by 100, drive 0.5 by 25.75.
  EXPECT_NEAR(firstOutput(1, 0.001f, 0.0f), kBrightStep * 0.001f, 1e-8f);
  EXPECT_NEAR(firstOutput(1, 0.001f, 1.0f), kBrightStep * 0.099704688f, 1e-6f);
  EXPECT_NEAR(firstOutput(2, 0.01f, 0.5f), kBrightStep * 0.2575f, 1e-6f);
  // Out-of-range drive acts as its limits.
  EXPECT_EQ(firstOutput(2, 0.01f, 7.0f), firstOutput(2, 0.01f, 1.0f));
  EXPECT_EQ(firstOutput(2, 0.01f, -7.0f), firstOutput(2, 0.01f, 0.0f));
  // The bias is half of "Grit" and is not amplified: 0.5 x 1 + 100 x 0.001 in mode 2.
  EXPECT_NEAR(firstOutput(2, 0.001f, 1.0f, 1.0f), kBrightStep * 0.6f, 1e-6f);
  EXPECT_EQ(firstOutput(2, 0.001f, 1.0f, 3.0f), firstOutput(2, 0.001f, 1.0f, 1.0f));
}

TEST(FuzzBox, ToneSetsTheLowPassCornerOncePerFrame) {
  // Cutoff 250 x 48^tone Hz: steps 0.0321953 (250 Hz), 0.20286 (1732 Hz), 0.79212 (12 kHz).
  EXPECT_NEAR(firstOutput(2, 0.5f, 0.0f, 0.0f, 0.0f), 0.5f * 0.03219526f, 1e-7f);
  EXPECT_NEAR(firstOutput(2, 0.5f, 0.0f, 0.0f, 0.5f), 0.5f * 0.20285998f, 1e-6f);
  EXPECT_NEAR(firstOutput(2, 0.5f, 0.0f, 0.0f, 3.0f), 0.5f * kBrightStep, 1e-6f);
  EXPECT_NEAR(firstOutput(2, 0.5f, 0.0f, 0.0f, -3.0f), 0.5f * 0.03219526f, 1e-7f);
  // Only the first "Tone" sample of a frame counts.
  Held<FuzzBox> fuzz;
  Feeder feeder;
  float *tone = feeder.feed(fuzz->mTone);
  fuzz->mShape.hardSet(2);
  fuzz->mIn.setConstant(0.5f);
  for (int j = 0; j < 128; j++) tone[j] = j == 0 ? 1.0f : 0.0f;
  qvztest::runFrame(*fuzz);
  // Sample 1 with a 12 kHz low-pass: state + (h1 - state) x step, h1 = 0.5 x (R - 1) + 0.5.
  const float state0 = 0.5f * kBrightStep;
  const float h1 = 0.5f * 0.995f;
  EXPECT_NEAR(fuzz->mOut.buffer()[1], state0 + (h1 - state0) * kBrightStep, 1e-6f);
}

TEST(FuzzBox, SilenceStaysSilentAndBiasIsBlocked) {
  for (float shape : {1.0f, 2.0f, 3.0f}) {
    Held<FuzzBox> fuzz;
    fuzz->mShape.hardSet(shape);
    fuzz->mDrive.setConstant(1.0f);
    fuzz->mTone.setConstant(1.0f);
    for (float v : stream(*fuzz, fuzz->mOut, 512, keepInputs)) ASSERT_EQ(v, 0.0f) << "shape " << shape;
  }
  // A constant bias is a step into the DC blocker, which then decays with its pole 0.995
  // per sample at 48 kHz (a 38.3 Hz corner at any rate).
  for (int rate : {48000, 96000}) {
    ConfigScope scope(rate, 128);
    Held<FuzzBox> fuzz;
    fuzz->mGrit.setConstant(1.0f);
    fuzz->mTone.setConstant(1.0f);
    const int span = rate / 240; // 200 samples at 48 kHz
    const std::vector<float> out = stream(*fuzz, fuzz->mOut, 4 * span + 1, keepInputs);
    EXPECT_GT(out[1], 0.3f) << rate;
    EXPECT_NEAR(out[3 * span] / out[2 * span], powf(0.995f, 200.0f), 2e-3f) << rate;
  }
}

TEST(FuzzBox, ShapeRoundsHalvesAwayFromZeroAndIsLimitedToThreeModes) {
  const float soft = firstOutput(1, 0.5f), hard = firstOutput(2, 0.5f), hot = firstOutput(3, 0.5f);
  EXPECT_NE(soft, hard);
  EXPECT_NE(hard, hot);
  EXPECT_EQ(firstOutput(0.0f, 0.5f), soft);
  EXPECT_EQ(firstOutput(-40.0f, 0.5f), soft);
  EXPECT_EQ(firstOutput(1.49f, 0.5f), soft);
  EXPECT_EQ(firstOutput(1.5f, 0.5f), hard);
  EXPECT_EQ(firstOutput(2.5f, 0.5f), hot);
  EXPECT_EQ(firstOutput(7.0f, 0.5f), hot);
  EXPECT_EQ(firstOutput(1e30f, 0.5f), hot);
  // The target counts, not the gliding value.
  Held<FuzzBox> fuzz;
  fuzz->mIn.setConstant(0.5f);
  fuzz->mTone.setConstant(1.0f);
  fuzz->mShape.set(3.0f);
  qvztest::runFrame(*fuzz);
  EXPECT_EQ(fuzz->mOut.buffer()[0], hot);
}

} // namespace
