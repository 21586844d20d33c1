#include "units/dynamics/CompressorObject.h"

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

// Gain after a steady detector level, read from a unit input of 1.
float settledGain(float detector, float threshold, float ratio) {
  Held<CompressorObject> comp;
  comp->mIn.setConstant(1.0f);
  comp->mSideChain.setConstant(detector);
  comp->mThreshold.setConstant(threshold);
  comp->mRatio.setConstant(ratio);
  return stream(*comp, comp->mOut, 4800, keepInputs).back(); // 100 time constants
}

TEST(CompressorObject, LeavesTheAudioBitExactWhenNothingIsAboveThreshold) {
  struct Case {
    float detector, threshold, ratio;
  } cases[] = {{0.3f, 0.5f, 4.0f},  // below threshold
               {0.5f, 0.5f, 8.0f},  // at threshold: no reduction
               {-5.0f, 0.1f, 8.0f}, // negative detector acts as 0
               {0.0f, 0.0f, 8.0f},  // all-zero side chain
               {10.0f, 0.1f, 1.0f}, // ratio 1: exponent 0
               {10.0f, 0.1f, 0.2f}}; // ratio below 1 cannot expand
  for (const Case &c : cases) {
    Held<CompressorObject> comp;
    Feeder feeder;
    float *in = feeder.feed(comp->mIn);
    comp->mSideChain.setConstant(c.detector);
    comp->mThreshold.setConstant(c.threshold);
    comp->mRatio.setConstant(c.ratio);
    const std::vector<float> out = stream(*comp, comp->mOut, 1024, [&](int start, int n) {
      for (int j = 0; j < n; j++) in[j] = 0.9f * sinf(0.05f * (float)(start + j));
    });
    for (int i = 0; i < 1024; i++)
      ASSERT_EQ(out[i], 0.9f * sinf(0.05f * (float)i)) << "detector " << c.detector << " sample " << i;
  }
}

TEST(CompressorObject, SettlesOnTheStaticCurve) {
  // (d / t)^(1/r - 1) above threshold.
  EXPECT_NEAR(settledGain(0.8f, 0.2f, 4.0f), 0.35355339f, 1e-5f); // 4^-0.75
  EXPECT_NEAR(settledGain(2.0f, 0.5f, 2.0f), 0.5f, 1e-5f);
  EXPECT_NEAR(settledGain(1.0f, 0.1f, 1e30f), 0.1f, 1e-5f); // limiting: exponent -1
  // A threshold of 0 (or below) is taken as 0.00001.
  EXPECT_NEAR(settledGain(0.001f, 0.0f, 2.0f), 0.1f, 1e-5f);
  EXPECT_NEAR(settledGain(0.001f, -1.0f, 2.0f), 0.1f, 1e-5f);
}

TEST(CompressorObject, GainMovesWithAOneMillisecondTimeConstant) {
  Held<CompressorObject> comp;
  comp->mIn.setConstant(1.0f);
  comp->mSideChain.setConstant(2.0f);
  comp->mThreshold.setConstant(0.5f);
  comp->mRatio.setConstant(2.0f); // target 0.5
  const std::vector<float> out = stream(*comp, comp->mOut, 480, keepInputs);
  EXPECT_NEAR(out[0], 1.0f - 0.5f * 0.020618f, 2e-6f); // one step of k = 0.020618 at 48 kHz
  EXPECT_NEAR(out[47], 0.5f + 0.5f * expf(-1.0f), 1e-4f); // within 1/e of the step after 1 ms
  // Recovery when the detector falls to the threshold: the same rate back towards 1.
  const float start = out.back();
  comp->mSideChain.setConstant(0.5f);
  const std::vector<float> back = stream(*comp, comp->mOut, 48, keepInputs);
  EXPECT_NEAR(back[47], 1.0f - (1.0f - start) * expf(-1.0f), 1e-4f);
}

TEST(CompressorObject, SmoothingFollowsTheSampleRate) {
  ConfigScope scope(96000, 128);
  Held<CompressorObject> comp;
  comp->mIn.setConstant(1.0f);
  comp->mSideChain.setConstant(2.0f);
  comp->mThreshold.setConstant(0.5f);
  comp->mRatio.setConstant(2.0f);
  const std::vector<float> out = stream(*comp, comp->mOut, 96, keepInputs);
  EXPECT_NEAR(out[95], 0.5f + 0.5f * expf(-1.0f), 1e-4f); // 1 ms is 96 samples here
}

TEST(CompressorObject, ControlsActPerSample) {
  Held<CompressorObject> comp;
  Feeder feeder;
  float *threshold = feeder.feed(comp->mThreshold);
  comp->mIn.setConstant(1.0f);
  comp->mSideChain.setConstant(1.0f);
  comp->mRatio.setConstant(4.0f);
  for (int j = 0; j < 128; j++) threshold[j] = j < 64 ? 2.0f : 0.1f;
  qvztest::runFrame(*comp);
  EXPECT_EQ(comp->mOut.buffer()[63], 1.0f);
  EXPECT_LT(comp->mOut.buffer()[64], 1.0f);
}

} // namespace
