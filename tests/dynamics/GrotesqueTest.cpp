#include "units/dynamics/Grotesque.h"

#include "support/Stream.h"
#include "support/Harness.h"

#include <od/Random.h>

#include <gtest/gtest.h>

#include <cmath>

namespace {

using qvztest::ConfigScope;
using qvztest::Feeder;
using qvztest::Held;
using qvztest::rms;
using qvztest::keepInputs;
using qvztest::stream;

std::vector<float> render(float high, float low, float gain, float input, int samples, unsigned seed = 7) {
  od::Random::seed(seed);
  Held<Grotesque> g;
  g->mHigh.setConstant(high);
  g->mLow.setConstant(low);
  g->mGain.setConstant(gain);
  g->mInput.setConstant(input);
  return stream(*g, g->mOut, samples, keepInputs);
}

TEST(Grotesque, FullInputAndSilenceGiveExactSilence) {
  for (float setting : {0.0f, 0.5f, 1.0f})
    for (float v : render(setting, setting, setting, 1.0f, 4800)) ASSERT_EQ(v, 0.0f) << setting;
}

TEST(Grotesque, ScreamsFromNoiseAloneWithHighFeedback) {
  // Feedback gain 1.87 with "Input" 0: the noise seeds a self-sustaining oscillation.
  const std::vector<float> loud = render(1.0f, 1.0f, 1.0f, 0.0f, 48000);
  EXPECT_GT(rms(loud, 24000), 0.2f);
  // Feedback 0.02: the loop only passes the faint noise.
  const std::vector<float> quiet = render(0.0f, 0.0f, 0.0f, 0.0f, 48000);
  EXPECT_LT(rms(quiet, 24000), 1e-5f);
  EXPECT_GT(rms(quiet, 24000), 0.0f);
  for (float v : loud) ASSERT_LE(fabsf(v), 4.0f);
}

TEST(Grotesque, RendersRepeatFromTheSeed) {
  const std::vector<float> a = render(1.0f, 1.0f, 1.0f, 0.0f, 9600, 99);
  const std::vector<float> b = render(1.0f, 1.0f, 1.0f, 0.0f, 9600, 99);
  const std::vector<float> c = render(1.0f, 1.0f, 1.0f, 0.0f, 9600, 100);
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
}

TEST(Grotesque, InputLevelSetsHowMuchOfTheSignalEnters) {
  // Gain 0: G = 0.75, so "In" enters at 0.75 x Input^2; a quiet tone keeps the loop (feedback
  // 0.82, band 25 Hz to 1.6 kHz) in its nearly linear range.
  auto run = [](float input) {
    od::Random::seed(3);
    Held<Grotesque> g;
    Feeder feeder;
    float *in = feeder.feed(g->mIn);
    g->mHigh.setConstant(0.5f);
    g->mLow.setConstant(1.0f);
    g->mInput.setConstant(input);
    return stream(*g, g->mOut, 24000, [&](int start, int n) {
      for (int j = 0; j < n; j++) in[j] = 0.02f * sinf(2.0f * (float)M_PI * 500.0f * (float)(start + j) / 48000.0f);
    });
  };
  const float full = rms(run(1.0f), 12000), half = rms(run(0.5f), 12000), none = rms(run(0.0f), 12000);
  EXPECT_GT(full, 0.02f);
  EXPECT_NEAR(half / full, 0.25f, 0.05f); // Input^2 in a nearly linear loop
  EXPECT_LT(none, 1e-4f);
}

TEST(Grotesque, CornersStayBelowTheNyquistLimit) {
  // At 8 kHz the 18 kHz low-pass corner is limited to 0.42 x 8000 Hz; the loop stays bounded.
  ConfigScope scope(8000, 128);
  const std::vector<float> out = render(1.0f, 1.0f, 1.0f, 0.0f, 8000);
  for (float v : out) ASSERT_TRUE(std::isfinite(v) && fabsf(v) <= 4.0f);
  EXPECT_GT(rms(out, 4000), 0.05f);
}

} // namespace
