#include "units/dynamics/Lofi.h"

#include "support/Stream.h"
#include "support/Harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

using qvztest::Feeder;
using qvztest::Held;
using qvztest::keepInputs;
using qvztest::Stream;
using qvztest::stream;

// Small-signal gains: x2 and x1.15 into the line, x1.08 and x1.04 on the modulated tap.
constexpr float kLineGain = 2.3f;
constexpr float kWetGain = 1.08f * 1.04f;

// A Lofi fed the ramp in[k] = slope x k, its output recorded.
struct LofiRig {
  LofiRig(int waveform, float depth, float speed, float blend, float slope) : out(stream.record(lofi->mOut)) {
    lofi->mWaveform.set(waveform);
    lofi->mDepth.setConstant(depth);
    lofi->mSpeed.setConstant(speed);
    lofi->mBlend.setConstant(blend);
    stream.drive(lofi->mIn, [slope](long k) { return slope * (float)k; });
  }
  Held<Lofi> lofi;
  Stream stream{*lofi};
  const std::vector<float> &out;
};

TEST(Lofi, SilenceGivesExactSilence) {
  for (int waveform : {4, 5, 6}) {
    Held<Lofi> lofi;
    lofi->mWaveform.set(waveform);
    lofi->mDepth.setConstant(1.0f);
    lofi->mSpeed.setConstant(1.0f);
    lofi->mBlend.setConstant(0.5f);
    for (float v : stream(*lofi, lofi->mOut, 4800, keepInputs)) ASSERT_EQ(v, 0.0f) << "waveform " << waveform;
  }
}

TEST(Lofi, FixedTapDelaysByTwoPointEightMilliseconds) {
  // A slow ramp stays below the compressor threshold and in the saturator's linear part, so
  // the fixed tap reads 2.3 x the ramp 134.4 samples ago.
  const float slope = 1e-6f;
  LofiRig still(5, 0.0f, 0.0f, 0.0f, slope);
  LofiRig swung(4, 1.0f, 1.0f, 0.0f, slope);
  still.stream.run(2000);
  swung.stream.run(2000);
  const std::vector<float> &a = still.out, &b = swung.out;
  for (int i = 200; i < 2000; i += 97)
    EXPECT_NEAR(a[i], kLineGain * slope * ((float)i - 134.4f), 2e-7f) << "sample " << i;
  for (int i = 0; i < 134; i++) ASSERT_EQ(a[i], 0.0f) << "sample " << i;
  EXPECT_EQ(a, b); // with "Blend" 0, depth and speed change nothing
}

TEST(Lofi, CompressesSixToOneAboveThreshold) {
  // A constant 1.2 brings the gain to (1.2 / 0.12)^(-5/6) = 0.14678; 2 x 1.2 x gain is then
  // saturated as (y - 4y^3/27) x 1.15.
  Held<Lofi> lofi;
  lofi->mIn.setConstant(1.2f);
  const float y = 2.4f * 0.1467799f;
  const float expected = (y - 0.14814815f * y * y * y) * 1.15f;
  EXPECT_NEAR(stream(*lofi, lofi->mOut, 9600, keepInputs).back(), expected, 1e-4f);
  // Far above the threshold the first saturator holds at its ceiling of 1.15.
  Held<Lofi> loud;
  Feeder feeder;
  float *in = feeder.feed(loud->mIn);
  const std::vector<float> out = stream(*loud, loud->mOut, 256, [&](int, int n) {
    for (int j = 0; j < n; j++) in[j] = 5.0f;
  });
  EXPECT_NEAR(out[200], 1.15f, 1e-6f); // the gain has barely moved 60 samples in
}

TEST(Lofi, BlendCrossfadesToTheDarkenedModulatedTap) {
  const float level = 0.001f;
  for (float blend : {1.0f, 0.5f, 4.0f, -4.0f}) {
    Held<Lofi> lofi;
    lofi->mIn.setConstant(level);
    lofi->mBlend.setConstant(blend);
    const float b = std::min(std::max(blend, 0.0f), 1.0f);
    const float dry = kLineGain * level;
    EXPECT_NEAR(stream(*lofi, lofi->mOut, 4800, keepInputs).back(), dry * (1.0f - b) + dry * kWetGain * b, 1e-7f)
        << "blend " << blend;
  }
}

// Delay swing in samples: the difference between a modulated and an unmodulated unit on the
// same ramp, divided by the ramp's slope at the wet tap.
std::vector<float> swing(int waveform, float depth, float speed, int samples) {
  const float slope = 1e-7f;
  LofiRig still(waveform, 0.0f, speed, 1.0f, slope);
  LofiRig moved(waveform, depth, speed, 1.0f, slope);
  still.stream.run(samples);
  moved.stream.run(samples);
  std::vector<float> delay(samples);
  for (int i = 0; i < samples; i++) delay[i] = (still.out[i] - moved.out[i]) / (slope * kLineGain * kWetGain);
  return delay;
}

TEST(Lofi, EachWaveformSwingsTheDelayByItsDepth) {
  // Speed 0.5: 0.15 x exp(3.506558 x 0.5) = 0.866 Hz. At 48 samples per ms the full-depth
  // swing is +-1.18 ms (sine), +-0.95 ms (smoothed triangle), +-0.3 ms (square).
  struct Case {
    int waveform;
    float low, high;
  } cases[] = {{4, 56.2f, 56.7f}, {5, 44.0f, 45.7f}, {6, 14.2f, 14.9f}};
  for (const Case &c : cases) {
    const std::vector<float> d = swing(c.waveform, 1.0f, 0.5f, 120000);
    const auto [lo, hi] = std::minmax_element(d.begin() + 60000, d.end());
    EXPECT_GE(*hi, c.low) << "waveform " << c.waveform;
    EXPECT_LE(*hi, c.high) << "waveform " << c.waveform;
    EXPECT_LE(*lo, -c.low) << "waveform " << c.waveform;
    EXPECT_GE(*lo, -c.high) << "waveform " << c.waveform;
  }
  // Half depth is shaped: 0.5^2 x (3 - 1) = 0.5 of the sine's swing.
  const std::vector<float> half = swing(4, 0.5f, 0.5f, 120000);
  EXPECT_NEAR(*std::max_element(half.begin() + 60000, half.end()), 28.32f, 0.3f);
}

TEST(Lofi, SpeedSetsTheOscillatorRate) {
  // Speed 1: 5 Hz, so the sine's delay rises through zero every 9600 samples.
  const std::vector<float> d = swing(4, 1.0f, 1.0f, 48000);
  std::vector<int> rises;
  for (int i = 1000; i < 48000; i++)
    if (d[i - 1] < 0.0f && d[i] >= 0.0f && (rises.empty() || i - rises.back() > 1000)) rises.push_back(i);
  ASSERT_GE(rises.size(), 3u);
  for (size_t p = 1; p < rises.size(); p++) EXPECT_NEAR(rises[p] - rises[p - 1], 9600, 3);
}

TEST(Lofi, SwitchingWaveformStartsFromTheCurrentOscillatorOutput) {
  // Run the square until its phase is just below the half (output settled near +1), then
  // switch to the triangle: its smoother starts from the square's value, now scaled by the
  // triangle's 0.95 ms swing instead of 0.3 ms, and glides from there (8 ms).
  const float slope = 1e-7f;
  LofiRig still(6, 0.0f, 0.5f, 1.0f, slope);
  LofiRig moved(6, 1.0f, 0.5f, 1.0f, slope);
  still.stream.run(128 * 205);
  moved.stream.run(128 * 205);
  const float scale = slope * kLineGain * kWetGain;
  const float squareDelay = (still.out.back() - moved.out.back()) / scale;
  ASSERT_GT(squareDelay, 14.0f);
  still.lofi->mWaveform.set(5);
  moved.lofi->mWaveform.set(5);
  still.stream.run(128); // the ramp runs on
  moved.stream.run(128);
  const float triangleDelay = (still.out.back() - moved.out.back()) / scale;
  EXPECT_NEAR(triangleDelay, squareDelay * 0.95f / 0.3f, 2.5f);
}

} // namespace
