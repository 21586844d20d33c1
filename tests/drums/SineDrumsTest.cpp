// Kick, Snare and Tom: the voices built on the half-cycle sine.

#include "units/drums/Kick.h"
#include "units/drums/Snare.h"
#include "units/drums/Tom.h"

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

int signChanges(const std::vector<float> &x, size_t from, size_t to) {
  int changes = 0;
  for (size_t i = from + 1; i < to; i++) changes += (x[i - 1] < 0.0f) != (x[i] < 0.0f);
  return changes;
}

// A Kick with constant controls, struck at the given samples.
std::vector<float> kick(float tune, float decay, float punch, float click, float drive, std::vector<long> at = {0},
                        long samples = 256) {
  Held<Kick> k;
  k->mTune.setConstant(tune);
  k->mDecay.setConstant(decay);
  k->mPunch.setConstant(punch);
  k->mClick.setConstant(click);
  k->mDrive.setConstant(drive);
  return play(*k, k->mOut, {{&k->mTrigger, at}}, samples);
}

TEST(Kick, FirstSamplesFollowTheVoiceArithmetic) {
  const float longDecay = dsp::decayFactor(3.0f, kRate);
  // Tune at a quarter of the rate puts the first phase at exactly 0.25: full-scale sine.
  EXPECT_EQ(kick(12000.0f, 3.0f, 0.0f, 0.0f, 0.0f)[0], dsp::saturate(longDecay));
  EXPECT_NEAR(kick(12000.0f, 3.0f, 0.0f, 0.0f, 0.0f)[0], 28.0f / 36.0f, 1e-4f);
  // Drive 1: five times the sum into the saturator (limited at 1.7), halved after it.
  EXPECT_FLOAT_EQ(kick(12000.0f, 3.0f, 0.0f, 0.0f, 1.0f)[0], dsp::saturate(1.7f) * 0.5f);
  // The click alone: the first noise value of the seed 0x01234567, scaled to +-0.7.
  const float click = (float)(int32_t)0x1FEF839Au * 3.25962896e-10f * dsp::decayFactor(0.0012f, kRate);
  EXPECT_FLOAT_EQ(kick(-1.0f, 0.5f, 0.0f, 1.0f, 0.0f)[0], dsp::saturate(click));
  // Punch 1: the first sample runs at Tune x (1 + 9k^2), just under ten times Tune.
  const float k = dsp::decayFactor(0.045f, kRate);
  const float firstPhase = 1000.0f * (1.0f + 9.0f * k * k) / kRate;
  EXPECT_LT(firstPhase, 10.0f * 1000.0f / kRate);
  EXPECT_GT(firstPhase, 9.99f * 1000.0f / kRate);
  EXPECT_FLOAT_EQ(kick(1000.0f, 1.0f, 1.0f, 0.0f, 0.0f)[0],
                  dsp::saturate(dsp::sineTurns(firstPhase) * dsp::decayFactor(1.0f, kRate)));
}

TEST(Kick, TriggerEdges) {
  EXPECT_EQ(peak(kick(100.0f, 1.0f, 0.5f, 0.5f, 0.5f, {}, 1024)), 0.0f); // never struck: exactly 0

  Held<Kick> held; // a gate high from construction strikes once, on its first sample
  held->mTune.setConstant(100.0f);
  held->mTrigger.setConstant(1.0f);
  const std::vector<float> gateHigh =
      qvztest::stream(*held, held->mOut, 4 * globalConfig.frameLength, qvztest::keepInputs);
  const std::vector<float> pulse = kick(100.0f, 0.0f, 0.0f, 0.0f, 0.0f, {0}, 512);
  for (int j = 0; j < 512; j++) ASSERT_EQ(gateHigh[j], pulse[j]) << j;

  Held<Kick> half;
  half->mTune.setConstant(100.0f);
  half->mTrigger.setConstant(0.5f); // not high
  qvztest::runFrame(*half);
  EXPECT_EQ(half->mOut.buffer()[10], 0.0f);

  // A second edge within the frame restarts phase and envelopes.
  const std::vector<float> twice = kick(300.0f, 0.2f, 1.0f, 0.0f, 0.0f, {0, 40}, 128);
  for (int j = 0; j < 40; j++) ASSERT_EQ(twice[40 + j], twice[j]) << j;
  EXPECT_NE(twice[39], twice[0]);
}

TEST(Kick, ControlsAreLimited) {
  EXPECT_EQ(kick(80.0f, 0.0f, 0.5f, 0.0f, 0.0f), kick(80.0f, 0.03f, 0.5f, 0.0f, 0.0f));
  EXPECT_EQ(kick(80.0f, NAN, 0.5f, 0.0f, 0.0f), kick(80.0f, 0.03f, 0.5f, 0.0f, 0.0f));
  EXPECT_EQ(kick(80.0f, 10.0f, 0.5f, 0.0f, 0.0f), kick(80.0f, 3.0f, 0.5f, 0.0f, 0.0f));
  EXPECT_EQ(kick(80.0f, 1.0f, 7.0f, -2.0f, 9.0f), kick(80.0f, 1.0f, 1.0f, 0.0f, 1.0f));
  EXPECT_EQ(kick(1e9f, 1.0f, 0.0f, 0.0f, 0.0f), kick(0.45f * kRate, 1.0f, 0.0f, 0.0f, 0.0f));
}

TEST(Kick, PunchSweepsThePitchDown) {
  // At 50 Hz, 50 ms hold 2.5 cycles; with punch the sweep adds many more.
  const std::vector<float> flat = kick(50.0f, 1.0f, 0.0f, 0.0f, 0.0f, {0}, 2400);
  const std::vector<float> swept = kick(50.0f, 1.0f, 1.0f, 0.0f, 0.0f, {0}, 2400);
  EXPECT_LE(signChanges(flat, 0, 2400), 5);
  EXPECT_GE(signChanges(swept, 0, 2400), 12);
}

TEST(Kick, NegativeTuneHoldsThePhaseWhileTheEnvelopeDecays) {
  Held<Kick> k;
  qvztest::Feeder feeder;
  float *trig = feeder.feed(k->mTrigger);
  k->mDecay.setConstant(0.5f);
  k->mTune.setConstant(130.0f);
  trig[0] = 1.0f;
  qvztest::runFrame(*k);
  trig[0] = 0.0f;
  k->mTune.setConstant(-20.0f);
  const float before = k->mOut.buffer()[globalConfig.frameLength - 1];
  qvztest::runFrame(*k);
  const float *out = k->mOut.buffer();
  EXPECT_NE(before, 0.0f);
  float last = before;
  for (int j = 0; j < globalConfig.frameLength; j++) {
    ASSERT_GT(out[j] * before, 0.0f) << j; // same sign: the phase stands still
    ASSERT_LT(std::fabs(out[j]), std::fabs(last)) << j;
    last = out[j];
  }
}

std::vector<float> snare(float tune, float decay, float snap, float tone, std::vector<long> at = {0},
                         long samples = 512) {
  Held<Snare> s;
  s->mTune.setConstant(tune);
  s->mDecay.setConstant(decay);
  s->mSnap.setConstant(snap);
  s->mTone.setConstant(tone);
  return play(*s, s->mOut, {{&s->mTrigger, at}}, samples);
}

TEST(Snare, WiresAndBody) {
  // Body silent (phases held at 0): the first sample is the high-passed first noise value.
  const float n = (float)(int32_t)0x7B4A896Cu * 4.65661287e-10f;
  const float lowPass = n * dsp::onePoleCoefficient(6.2831855f * 500.0f, kRate);
  const float wires = dsp::decayFactor(0.05f + 0.45f * 0.03f, kRate);
  EXPECT_FLOAT_EQ(snare(-1.0f, 0.03f, 1.0f, 500.0f)[0], dsp::drumSaturate(1.6f * (n - lowPass) * wires));

  // Snap 0: the two-sine body alone, below the saturator's value at 0.6 x 1.55.
  const std::vector<float> body = snare(180.0f, 0.5f, 0.0f, 2000.0f, {0, 6000}, 12000);
  EXPECT_GT(peak(body), dsp::saturate(0.6f));
  EXPECT_LE(peak(body), dsp::saturate(0.93f));
  for (int j = 0; j < 6000; j++) ASSERT_EQ(body[6000 + j], body[j]) << j; // each strike alike

  // The noise runs on between hits, so two bursts differ.
  const std::vector<float> bursts = snare(-1.0f, 0.2f, 1.0f, 2000.0f, {0, 6000}, 12000);
  int same = 0;
  for (int j = 0; j < 200; j++) same += bursts[j] == bursts[6000 + j];
  EXPECT_LT(same, 5);
}

TEST(Snare, ControlsAreLimited) {
  EXPECT_EQ(snare(200.0f, 0.2f, 0.7f, 100.0f), snare(200.0f, 0.2f, 0.7f, 500.0f));
  EXPECT_EQ(snare(200.0f, 0.2f, 0.7f, 20000.0f), snare(200.0f, 0.2f, 0.7f, 9000.0f));
  EXPECT_EQ(snare(200.0f, 0.0f, 0.7f, 3000.0f), snare(200.0f, 0.03f, 0.7f, 3000.0f));
  EXPECT_EQ(snare(200.0f, 10.0f, 3.0f, 3000.0f), snare(200.0f, 1.5f, 1.0f, 3000.0f));
  ConfigScope scope(16000, 128); // the tone is also kept below 0.45 of the rate
  EXPECT_EQ(snare(200.0f, 0.2f, 0.7f, 9000.0f), snare(200.0f, 0.2f, 0.7f, 7200.0f));
}

std::vector<float> tom(float tune, float decay, float bend, long samples = 256) {
  Held<Tom> t;
  t->mTune.setConstant(tune);
  t->mDecay.setConstant(decay);
  t->mBend.setConstant(bend);
  return play(*t, t->mOut, {{&t->mTrigger, {0}}}, samples);
}

TEST(Tom, BendAndStickNoise) {
  // Bend 1: the first sample runs at Tune x (1 + 1.4k), with the first noise value added.
  const float k = dsp::decayFactor(0.12f, kRate);
  const float noise = (float)(int32_t)0x66143368u * 1.16415322e-10f * dsp::decayFactor(0.008f, kRate);
  const float tone = dsp::sineTurns(100.0f * (1.0f + 1.4f * k) / kRate) * dsp::decayFactor(2.0f, kRate);
  EXPECT_FLOAT_EQ(tom(100.0f, 2.0f, 1.0f)[0], dsp::drumSaturate(noise + tone));

  // After the 8 ms stick burst: 480 Hz changes sign 96 times in 0.1 s; bent, far more often.
  const std::vector<float> flat = tom(480.0f, 2.0f, 0.0f, 9600);
  const std::vector<float> bent = tom(480.0f, 2.0f, 1.0f, 9600);
  EXPECT_NEAR(signChanges(flat, 4800, 9600), 96, 1);
  EXPECT_GT(signChanges(bent, 4800, 9600), 115);

  // The burst alone (tune held) stays within +-0.25 and is gone after 0.1 s.
  const std::vector<float> stick = tom(-1.0f, 1.0f, 0.0f, 4800);
  EXPECT_GT(peak(stick), 0.05f);
  EXPECT_LE(peak(stick), dsp::saturate(0.25f));
  EXPECT_LT(peak(stick, 4700), 1e-5f);
}

TEST(Tom, ControlsAreLimited) {
  EXPECT_EQ(tom(150.0f, 0.01f, 0.5f), tom(150.0f, 0.05f, 0.5f));
  EXPECT_EQ(tom(150.0f, 5.0f, 0.5f), tom(150.0f, 2.0f, 0.5f));
  EXPECT_EQ(tom(150.0f, 1.0f, 3.0f), tom(150.0f, 1.0f, 1.0f));
  EXPECT_EQ(tom(150.0f, 1.0f, -3.0f), tom(150.0f, 1.0f, 0.0f));
}

} // namespace
