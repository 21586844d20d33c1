#include "units/dynamics/BandSpreader.h"

#include "support/Stream.h"
#include "support/Harness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

using qvztest::Feeder;
using qvztest::Held;
using qvztest::rms;
using qvztest::Stream;

constexpr float kCentre = 0.70710677f;

struct SpreaderRig {
  SpreaderRig() {
    for (int b = 0; b < 6; b++) {
      spreader->mPan[b].setConstant(0.0f);
      spreader->mLevel[b].setConstant(1.0f);
    }
  }
  // Runs `samples` samples from sample 0, left and right given as functions of the index.
  void run(int samples, std::function<float(long)> left, std::function<float(long)> right) {
    Stream stream(*spreader);
    stream.drive(spreader->mInL, std::move(left));
    stream.drive(spreader->mInR, std::move(right));
    const std::vector<float> &outL = stream.record(spreader->mOutL), &outR = stream.record(spreader->mOutR);
    stream.run(samples);
    l.assign(outL.begin(), outL.begin() + samples);
    r.assign(outR.begin(), outR.begin() + samples);
  }
  Held<BandSpreader> spreader;
  std::vector<float> l, r;
};

float noise(int i) { return sinf(0.7f * (float)i) * 0.4f + sinf(0.013f * (float)i * (float)i) * 0.3f; }
float sine(float hz, int i) { return sinf(2.0f * (float)M_PI * hz * (float)i / 48000.0f); }

TEST(BandSpreader, CentredBandsAddBackToTheMonoSumAtMinusThreeDecibels) {
  SpreaderRig rig;
  rig.run(2048, noise, [](int i) { return noise(i + 17); });
  for (int i = 0; i < 2048; i++) {
    const float mono = (noise(i) + noise(i + 17)) * 0.5f;
    ASSERT_NEAR(rig.l[i], kCentre * mono, 2e-6f) << "sample " << i;
    ASSERT_EQ(rig.l[i], rig.r[i]) << "sample " << i;
  }
}

TEST(BandSpreader, OppositeInputsCancel) {
  SpreaderRig rig;
  rig.spreader->mPan[2].setConstant(-0.7f);
  rig.run(1024, noise, [](int i) { return -noise(i); });
  for (int i = 0; i < 1024; i++) {
    ASSERT_EQ(rig.l[i], 0.0f);
    ASSERT_EQ(rig.r[i], 0.0f);
  }
}

TEST(BandSpreader, LowestBandPannedLeftCarriesOnlyTheBass) {
  auto run = [](float hz) {
    SpreaderRig rig;
    rig.spreader->mPan[0].setConstant(-1.0f);
    for (int b = 1; b < 6; b++) rig.spreader->mLevel[b].setConstant(0.0f);
    rig.run(24000, [hz](int i) { return sine(hz, i); }, [hz](int i) { return sine(hz, i); });
    return std::make_pair(rms(rig.l, 4800), rms(rig.r, 4800));
  };
  const auto bass = run(40.0f);
  const auto treble = run(4000.0f);
  // One-pole at 120 Hz: |H(40 Hz)| = 1 / sqrt(1 + (40/120)^2) = 0.949, full level on the left.
  EXPECT_NEAR(bass.first, 0.949 / std::sqrt(2.0), 0.01);
  EXPECT_LT(bass.second, 1e-4);
  EXPECT_LT(treble.first, 0.05 * bass.first);
  EXPECT_LT(treble.second, 1e-4);
}

TEST(BandSpreader, PansFollowTheConstantPowerLaw) {
  SpreaderRig rig;
  for (int b = 0; b < 6; b++) rig.spreader->mPan[b].setConstant(0.5f);
  rig.run(9600, noise, noise);
  for (int i = 4800; i < 9600; i += 37) {
    ASSERT_NEAR(rig.l[i], 0.5f * noise(i), 1e-5f);                  // sqrt(0.25)
    ASSERT_NEAR(rig.r[i], 0.8660254f * noise(i), 1e-5f);            // sqrt(0.75)
  }
  // Out-of-range pans and levels act as their limits.
  SpreaderRig wide;
  for (int b = 0; b < 6; b++) {
    wide.spreader->mPan[b].setConstant(9.0f);
    wide.spreader->mLevel[b].setConstant(9.0f);
  }
  wide.run(9600, noise, noise);
  EXPECT_LT(fabsf(wide.l[9599]), 1e-5f);
  EXPECT_NEAR(wide.r[9599], noise(9599), 1e-5f);
}

TEST(BandSpreader, PanChangesActFromTheNextFrameAndGlide) {
  SpreaderRig rig;
  for (int b = 0; b < 5; b++) rig.spreader->mLevel[b].setConstant(0.0f); // the top band alone
  Feeder feeder;
  float *pan = feeder.feed(rig.spreader->mPan[5]);
  for (int j = 0; j < 128; j++) pan[j] = j == 0 ? 0.0f : 1.0f;
  rig.run(4800, noise, noise); // the muted bands' gains glide away meanwhile
  for (int i = 0; i < 4800; i++) ASSERT_EQ(rig.l[i], rig.r[i]) << "sample " << i; // first sample rules
  for (int j = 0; j < 128; j++) pan[j] = 1.0f;
  // A 3 ms glide: after 144 samples the left gain has gone 1 - 1/e of the way from 0.7071 to
  // 0 and the right from 0.7071 to 1.
  rig.run(144, noise, noise);
  EXPECT_NEAR(rig.l[143] / rig.r[143], kCentre * expf(-1.0f) / (1.0f - (1.0f - kCentre) * expf(-1.0f)), 2e-3f);
}

} // namespace
