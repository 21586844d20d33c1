// HiHat, Cowbell and Cymbal: the voices built on square waves.

#include "units/drums/Cowbell.h"
#include "units/drums/Cymbal.h"
#include "units/drums/HiHat.h"

#include <dsp/DrumVoice.h>
#include <dsp/OnePole.h>

#include "drums/DrumTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using namespace drumtest;
using qvztest::ConfigScope;
using qvztest::Held;

constexpr float kRate = 48000.0f;

struct HatPlay {
  std::vector<long> closed, open;
  float tune = 300.0f, closedDecay = 0.05f, openDecay = 1.0f, tone = 6000.0f;
  long samples = 4096;
};

std::vector<float> hat(const HatPlay &p) {
  Held<HiHat> h;
  h->mTune.setConstant(p.tune);
  h->mClosedDecay.setConstant(p.closedDecay);
  h->mOpenDecay.setConstant(p.openDecay);
  h->mTone.setConstant(p.tone);
  return play(*h, h->mOut, {{&h->mClosedTrigger, p.closed}, {&h->mOpenTrigger, p.open}}, p.samples);
}

TEST(HiHat, ClosedChokesOpenAndOpenWinsATie) {
  // The oscillators and filters run free of the triggers, so after a closed strike an
  // open hat sounds exactly like a closed one struck at the same moment.
  HatPlay choked;
  choked.open = {0};
  choked.closed = {1000};
  choked.closedDecay = 0.005f;
  HatPlay closedTwice = choked;
  closedTwice.open = {};
  closedTwice.closed = {0, 1000};
  const std::vector<float> a = hat(choked);
  const std::vector<float> b = hat(closedTwice);
  for (size_t j = 1000; j < a.size(); j++) ASSERT_EQ(a[j], b[j]) << j;
  EXPECT_GT(peak(a, 900, 1000), 10.0f * peak(b, 900, 1000)); // the open ring before the choke

  HatPlay tie;
  tie.open = tie.closed = {0};
  HatPlay openOnly;
  openOnly.open = {0};
  EXPECT_EQ(hat(tie), hat(openOnly));
}

TEST(HiHat, SquaredEnvelopeHalvesTheDecayTime) {
  // Struck at 0 and, separately, at s: same oscillator and filter samples, so their ratio
  // at s is the squared envelope k^(2s) = exp(-2s / (T sr)); s = T sr / 2 gives 1/e.
  HatPlay early;
  early.open = {0};
  early.openDecay = 0.1f;
  HatPlay late = early;
  late.open = {2400};
  const std::vector<float> a = hat(early);
  const std::vector<float> b = hat(late);
  ASSERT_GT(std::fabs(b[2400]), 1e-3f);
  EXPECT_NEAR(a[2400] / b[2400], std::exp(-1.0f), 1e-3f);
}

TEST(HiHat, ControlsAreLimitedAndFrozenSquaresDieOut) {
  HatPlay p;
  p.open = {0};
  HatPlay q = p;
  p.tone = 500.0f;
  q.tone = 2000.0f;
  EXPECT_EQ(hat(p), hat(q));
  p.tone = 50000.0f;
  q.tone = 12000.0f;
  EXPECT_EQ(hat(p), hat(q));
  p.closed = q.closed = {100};
  p.closedDecay = 0.0f;
  q.closedDecay = 0.005f;
  EXPECT_EQ(hat(p), hat(q));
  p.openDecay = 9.0f;
  q.openDecay = 2.0f;
  p.closed = q.closed = {};
  EXPECT_EQ(hat(p), hat(q));

  HatPlay frozen;
  frozen.open = {0};
  frozen.openDecay = 2.0f;
  frozen.tune = -1.0f;
  frozen.samples = 4800;
  const std::vector<float> out = hat(frozen);
  EXPECT_GT(peak(out, 0, 10), 0.1f);
  EXPECT_LT(peak(out, 4000), 1e-4f);
}

std::vector<float> cowbell(float tune, float decay, float clank, long samples = 512) {
  Held<Cowbell> c;
  c->mTune.setConstant(tune);
  c->mDecay.setConstant(decay);
  c->mClank.setConstant(clank);
  return play(*c, c->mOut, {{&c->mTrigger, {0}}}, samples);
}

TEST(Cowbell, ClankIsAShortLouderAttack) {
  const std::vector<float> plain = cowbell(540.0f, 0.5f, 0.0f, 9600);
  const std::vector<float> clanked = cowbell(540.0f, 0.5f, 1.0f, 9600);
  double plainSum = 0.0, clankedSum = 0.0;
  for (size_t j = 0; j < 96; j++) {
    plainSum += std::fabs(plain[j]);
    clankedSum += std::fabs(clanked[j]);
  }
  EXPECT_GT(plainSum, 96 * 0.1);
  EXPECT_GT(clankedSum, 1.2 * plainSum);
  EXPECT_GT(peak(clanked, 0, 96), 0.95f); // flattened by the saturator
  EXPECT_LE(peak(clanked, 0, 96), dsp::drumSaturate(1.7f));
  for (size_t j = 7200; j < 9600; j++) ASSERT_NEAR(clanked[j], plain[j], 1e-4f) << j; // 8 ms clank long gone
}

TEST(Cowbell, BandPassFollowsTheFrameStartTuning) {
  // A negative tuning on the first sample freezes the band-pass for the frame: silence,
  // though the oscillators run at the tuning of the other samples.
  Held<Cowbell> c;
  qvztest::Feeder feeder;
  float *trig = feeder.feed(c->mTrigger);
  float *tune = feeder.feed(c->mTune);
  c->mDecay.setConstant(0.5f);
  trig[0] = 1.0f;
  tune[0] = -1.0f;
  for (int j = 1; j < globalConfig.frameLength; j++) tune[j] = 540.0f;
  qvztest::runFrame(*c);
  for (int j = 0; j < globalConfig.frameLength; j++) ASSERT_EQ(c->mOut.buffer()[j], 0.0f) << j;
  trig[0] = 0.0f;
  tune[0] = 540.0f;
  qvztest::runFrame(*c);
  EXPECT_GT(std::fabs(c->mOut.buffer()[globalConfig.frameLength - 1]), 0.05f);
}

TEST(Cowbell, ControlsAreLimited) {
  EXPECT_EQ(peak(cowbell(-5.0f, 0.5f, 1.0f)), 0.0f);
  EXPECT_EQ(cowbell(540.0f, 0.0f, 0.5f), cowbell(540.0f, 0.03f, 0.5f));
  EXPECT_EQ(cowbell(540.0f, 4.0f, 0.5f), cowbell(540.0f, 1.0f, 0.5f));
  EXPECT_EQ(cowbell(540.0f, 0.5f, 6.0f), cowbell(540.0f, 0.5f, 1.0f));
  EXPECT_EQ(cowbell(1e12f, 0.5f, 0.5f), cowbell(0.45f * kRate, 0.5f, 0.5f));
}

std::vector<float> cymbal(float tune, float decay, float tone, float sizzle, std::vector<long> at = {0},
                          long samples = 512) {
  Held<Cymbal> c;
  c->mTune.setConstant(tune);
  c->mDecay.setConstant(decay);
  c->mTone.setConstant(tone);
  c->mSizzle.setConstant(sizzle);
  return play(*c, c->mOut, {{&c->mTrigger, at}}, samples);
}

TEST(Cymbal, FirstSampleFromTheFrozenCluster) {
  // Phases held at 0.05, 0.22, 0.39 (+1) and 0.51, 0.68, 0.9 (-1): the squares cancel and
  // the three ring products are -1 each.
  const float metal = 0.21664499f * -3.0f;
  const float c = dsp::onePoleCoefficient(6.2831855f * 6500.0f, kRate);
  const float h1 = metal - metal * c;
  const float h2 = h1 - h1 * c;
  const float n = (float)(int32_t)0x3C3082C0u * 4.65661287e-10f;
  const float z = n - n * c;
  const float shortLevel = dsp::decayFactor(0.08f, kRate);
  const float longLevel = dsp::decayFactor(1.0f, kRate);
  for (float sizzle : {0.0f, 1.0f}) {
    const float x = 1.1f * shortLevel * h2 + longLevel * (0.017999984f * metal + 0.4f * sizzle * z);
    EXPECT_NEAR(cymbal(-1.0f, 1.0f, 3000.0f, sizzle)[0], dsp::drumSaturate(x), 1e-6f) << sizzle;
  }
}

TEST(Cymbal, FrozenClusterLeavesTheResonatorOnTheLongEnvelope) {
  // The high-passes remove the constant; the resonator settles at m / (1 - b + 0.9801).
  const float metal = 0.21664499f * -3.0f;
  const float b = 1.98f * std::cos(6.2831855f * 3000.0f / kRate);
  const float settled = metal / (1.0f - b + 0.98010004f);
  const std::vector<float> out = cymbal(-1.0f, 5.0f, 3000.0f, 0.0f, {0}, 48000);
  const float longLevel = std::pow(dsp::decayFactor(5.0f, kRate), 48000.0f);
  EXPECT_NEAR(out[47999], dsp::drumSaturate(longLevel * 0.017999984f * settled), 1e-4f);
}

TEST(Cymbal, StrikesLeaveTheOscillatorsRunning) {
  const std::vector<float> out = cymbal(400.0f, 1.0f, 3000.0f, 0.0f, {0, 1000}, 2048);
  int same = 0;
  for (int j = 0; j < 200; j++) same += out[j] == out[1000 + j];
  EXPECT_LT(same, 20);
  EXPECT_GT(peak(out, 1000, 1200), 0.1f);
}

TEST(Cymbal, ControlsAreLimited) {
  EXPECT_EQ(cymbal(400.0f, 1.0f, 500.0f, 0.5f), cymbal(400.0f, 1.0f, 1500.0f, 0.5f));
  EXPECT_EQ(cymbal(400.0f, 1.0f, 12000.0f, 0.5f), cymbal(400.0f, 1.0f, 8000.0f, 0.5f));
  EXPECT_EQ(cymbal(400.0f, 0.0f, 3000.0f, 0.5f), cymbal(400.0f, 0.2f, 3000.0f, 0.5f));
  EXPECT_EQ(cymbal(400.0f, 10.0f, 3000.0f, 0.5f), cymbal(400.0f, 5.0f, 3000.0f, 0.5f));
  EXPECT_EQ(cymbal(400.0f, 1.0f, 3000.0f, 4.0f), cymbal(400.0f, 1.0f, 3000.0f, 1.0f));
  ConfigScope scope(16000, 128); // the tone also stays below 0.45 of the rate
  EXPECT_EQ(cymbal(400.0f, 1.0f, 8000.0f, 0.5f), cymbal(400.0f, 1.0f, 7200.0f, 0.5f));
}

TEST(Cymbal, ResonanceDrivenHardStaysBounded) {
  // Cluster partials right on the resonator: its memory is cleared before it runs away.
  for (float tune : {1500.0f, 2000.0f, 2500.0f}) {
    const std::vector<float> out = cymbal(tune, 5.0f, 1500.0f, 0.0f, {0}, 96000);
    for (float x : out) ASSERT_TRUE(std::isfinite(x));
    EXPECT_LT(peak(out), 0.9587f);
  }
}

} // namespace
