#include "units/dynamics/Shaper.h"

#include "support/Stream.h"
#include "support/Harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

using qvztest::Feeder;
using qvztest::Held;
using qvztest::stream;

// +-15 dB as gains.
constexpr float kBoost = 5.6234133f;
constexpr float kCut = 0.17782794f;

// A steady 0.5 from `onset` until `release`, then 0.05: a note with an attack and a tail.
float note(int i, int onset, int release) { return i < onset ? 0.0f : (i < release ? 0.5f : 0.05f); }

// Gain per sample (output over input) for the note above.
std::vector<float> gains(float atk, float sus, int samples, int release) {
  Held<Shaper> shaper;
  Feeder feeder;
  float *in = feeder.feed(shaper->mIn);
  shaper->mAttack.setConstant(atk);
  shaper->mSustain.setConstant(sus);
  std::vector<float> out = stream(*shaper, shaper->mOut, samples, [&](int start, int n) {
    for (int j = 0; j < n; j++) in[j] = note(start + j, 100, release);
  });
  for (int i = 0; i < samples; i++) out[i] = i < 100 ? 1.0f : out[i] / note(i, 100, release);
  return out;
}

TEST(Shaper, NeutralAmountsPassTheSignalBitExactly) {
  Held<Shaper> shaper;
  Feeder feeder;
  float *in = feeder.feed(shaper->mIn);
  shaper->mAttack.setConstant(0.5f);
  shaper->mSustain.setConstant(0.5f);
  const std::vector<float> out = stream(*shaper, shaper->mOut, 9600, [&](int start, int n) {
    for (int j = 0; j < n; j++) in[j] = expf(-(float)((start + j) % 2400) / 300.0f) * sinf(0.3f * (float)(start + j));
  });
  for (int i = 0; i < 9600; i++)
    ASSERT_EQ(out[i], expf(-(float)(i % 2400) / 300.0f) * sinf(0.3f * (float)i)) << "sample " << i;
}

TEST(Shaper, AttackAmountRaisesOrLowersTheOnsetThenReturnsToUnity) {
  const std::vector<float> up = gains(1.0f, 0.5f, 24000, 48000);
  const float peak = *std::max_element(up.begin(), up.end());
  EXPECT_GT(peak, 3.0f);
  EXPECT_LE(peak, kBoost);
  EXPECT_NEAR(up[23999], 1.0f, 0.01f); // the slow envelope has caught up
  const std::vector<float> down = gains(0.0f, 0.5f, 24000, 48000);
  const float dip = *std::min_element(down.begin(), down.end());
  EXPECT_LT(dip, 0.4f);
  EXPECT_GE(dip, kCut);
  EXPECT_NEAR(down[23999], 1.0f, 0.01f);
}

TEST(Shaper, SustainAmountShapesTheTail) {
  // After the drop at 0.25 s the fast envelope falls below the slow one.
  const std::vector<float> cut = gains(0.5f, 0.0f, 24000, 12000);
  const float low = *std::min_element(cut.begin() + 12000, cut.end());
  EXPECT_LT(low, 0.3f);
  EXPECT_GE(low, kCut);
  EXPECT_NEAR(cut[11999], 1.0f, 0.01f); // the attack is untouched with "Atk" 0.5
  const std::vector<float> lift = gains(0.5f, 1.0f, 24000, 12000);
  const float high = *std::max_element(lift.begin() + 12000, lift.end());
  EXPECT_GT(high, 3.0f);
  EXPECT_LE(high, kBoost);
}

TEST(Shaper, AmountsBeyondTheRangeActAsItsEnds) {
  EXPECT_EQ(gains(5.0f, -5.0f, 12000, 6000), gains(1.0f, 0.0f, 12000, 6000));
  EXPECT_EQ(gains(-5.0f, 5.0f, 12000, 6000), gains(0.0f, 1.0f, 12000, 6000));
}

} // namespace
