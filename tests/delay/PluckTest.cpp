#include "units/delay/Pluck.h"

#include "support/Harness.h"
#include "support/HeapLimit.h"
#include "support/Stream.h"
#include "support/UnitRegistry.h"

#include <od/BigHeap.h>

#include <gtest/gtest.h>

#include <cmath>
#include <complex>

// Heavy damping is made up by loop gain, so a low mode of the loop can take seconds to die away.
QVZ_REGISTER_UNIT("Pluck", [] { return new Pluck(0.05f); }, 3.0f);

namespace {

using qvztest::ConfigScope;
using qvztest::constant;
using qvztest::Held;
using qvztest::HeapLimit;
using qvztest::impulseAt;
using qvztest::Stream;

TEST(Pluck, RegistersPortsAndSizesFourLinesInWholeFrames) {
  ConfigScope scope(48000, 128);
  const size_t before = od::BigHeap::inUse();
  Held<Pluck> pluck(0.05f);
  const char *inputs[] = {"In", "Trigger", "f0", "Damp", "Decay"};
  ASSERT_EQ(pluck->inputCount(), 5);
  for (int k = 0; k < 5; k++) EXPECT_EQ(pluck->getInput(k)->name(), inputs[k]);
  ASSERT_EQ(pluck->outputCount(), 1);
  EXPECT_EQ(pluck->getOutput(0)->name(), "Out");
  // 2400 samples: 19 frames of 128, 2432 per voice.
  EXPECT_EQ(pluck->lineLength(), 2432);
  EXPECT_EQ(od::BigHeap::inUse() - before, 4u * 2432u * 4u);
  const int allocations = od::BigHeap::allocationCount();
  EXPECT_EQ(pluck->allocateTimeUpTo(0.05f), 2432.0f * globalConfig.samplePeriod);
  EXPECT_FLOAT_EQ(pluck->allocateTimeUpTo(0.05f), 2432.0f / 48000.0f);
  EXPECT_EQ(od::BigHeap::allocationCount(), allocations); // same size, kept
  // Below 5 ms (or not a number) counts as 5 ms: 240 samples, two frames.
  for (float t : {0.001f, -1.0f, NAN}) {
    EXPECT_EQ(pluck->allocateTimeUpTo(t), 256.0f * globalConfig.samplePeriod) << t;
    EXPECT_EQ(pluck->lineLength(), 256);
  }
  pluck->deallocate();
  EXPECT_EQ(pluck->lineLength(), 0);
  EXPECT_EQ(od::BigHeap::inUse(), before);
}

TEST(Pluck, RefusedMemoryIsRetriedAtHalfSize) {
  ConfigScope scope(48000, 128);
  const size_t before = od::BigHeap::inUse();
  {
    // 1 s: 376 frames (770048 bytes) refused, 188 frames fit.
    HeapLimit limit((long long)before + 770047);
    Held<Pluck> pluck(1.0f);
    EXPECT_EQ(pluck->lineLength(), 188 * 128);
    EXPECT_EQ(od::BigHeap::inUse() - before, 188u * 128u * 16u);
    // A time whose byte count would overflow is the largest request that fits, halved down to the heap.
    od::BigHeap::setLimit((long long)before + (1 << 20));
    EXPECT_EQ(pluck->allocateTimeUpTo(INFINITY), 511.0f * 128.0f * globalConfig.samplePeriod);
    EXPECT_EQ(pluck->allocateTimeUpTo(1e30f), 511.0f * 128.0f * globalConfig.samplePeriod);
  }
  {
    HeapLimit limit((long long)before);
    Held<Pluck> pluck(0.05f);
    EXPECT_EQ(pluck->lineLength(), 0);
    EXPECT_EQ(pluck->allocateTimeUpTo(0.05f), 0.0f);
    // Unallocated, the unit is silent whatever "In" carries.
    pluck->mIn.setConstant(0.7f);
    pluck->mTrigger.setConstant(1.0f);
    qvztest::runFrame(*pluck);
    for (int i = 0; i < 128; i++) ASSERT_EQ(pluck->mOut.buffer()[i], 0.0f);
    EXPECT_EQ(pluck->currentVoice(), 0); // the frame was skipped, trigger included
  }
  EXPECT_EQ(od::BigHeap::inUse(), before);
}

TEST(Pluck, RisingTriggersCycleTheVoicesAndRetuneFor5ms) {
  ConfigScope scope(48000, 128);
  Held<Pluck> pluck(0.05f);
  Stream stream(*pluck);
  // A trigger that rises at 0 and stays high, then five pulses 1000 samples apart.
  // A trigger that rises at 0 and stays high, then falls to 0.5 (not above the threshold)
  // and pulses to 0.8 for 10 samples in the middle of each following block of 1024.
  stream.drive(pluck->mTrigger, [](long i) {
    if (i < 2048) return 1.0f;
    const long t = (i - 2048) % 1024;
    return t >= 512 && t < 522 ? 0.8f : 0.5f;
  });
  // f0 follows the time: the voice keeps the value it had 239 samples after its trigger.
  stream.drive(pluck->mF0, [](long i) { return 100.0f + (float)(i % 1024); });
  stream.run(1024);
  EXPECT_EQ(pluck->currentVoice(), 1);
  EXPECT_EQ(pluck->voiceFrequency(1), 339.0f);
  EXPECT_EQ(pluck->voiceFrequency(0), 110.0f);
  stream.run(1024);
  EXPECT_EQ(pluck->currentVoice(), 1); // still high: no new voice
  const int expected[] = {2, 3, 0, 1, 2};
  for (int pulse = 0; pulse < 5; pulse++) {
    stream.run(1024);
    EXPECT_EQ(pluck->currentVoice(), expected[pulse]) << pulse;
    EXPECT_EQ(pluck->voiceFrequency(expected[pulse]), 851.0f) << pulse;
  }
  EXPECT_EQ(pluck->voiceFrequency(1), 851.0f); // retuned on its second turn
}

TEST(Pluck, FrequencyIsLimitedToWhatTheLineCanPlay) {
  ConfigScope scope(48000, 128);
  for (float f : {1.0f, -50.0f, 1e6f, INFINITY, NAN}) {
    Held<Pluck> pluck(0.05f);
    pluck->mTrigger.setConstant(1.0f);
    pluck->mF0.setConstant(f);
    qvztest::runFrame(*pluck);
    const float expected = (f > 1000.0f || std::isnan(f)) ? 12000.0f : 48000.0f / 2424.0f;
    EXPECT_EQ(pluck->voiceFrequency(1), expected) << f;
  }
}

// One plucked note: an impulse into a freshly triggered voice at f0.
std::vector<float> pluckNote(float f0, float damp, float decay, long samples) {
  Held<Pluck> pluck(0.05f);
  Stream stream(*pluck);
  stream.drive(pluck->mIn, impulseAt(0));
  stream.drive(pluck->mTrigger, impulseAt(0));
  pluck->mF0.setConstant(f0);
  pluck->mDamp.setConstant(damp);
  pluck->mDecay.setConstant(decay);
  const auto &out = stream.record(pluck->mOut);
  stream.run(samples);
  return out;
}

// The Hann-windowed DFT of v over [start, start + length) at frequency f (48 kHz), with
// the phase measured from sample 0, so that a partial near f keeps its phase from window to window.
std::complex<double> partialAt(const std::vector<float> &v, float f, long start, long length) {
  std::complex<double> sum = 0.0;
  const double twoPi = 6.283185307179586;
  for (long n = 0; n < length; n++) {
    const double window = 0.5 - 0.5 * std::cos(twoPi * (double)n / (double)length);
    sum += window * (double)v[start + n] * std::polar(1.0, -twoPi * (double)f * (double)(start + n) / 48000.0);
  }
  return sum;
}

// Frequency of the partial near f: its phase advance between two windows `shift` apart.
float partialFrequency(const std::vector<float> &v, float f, long from, long length, long shift) {
  double advance = std::arg(partialAt(v, f, from + shift, length) / partialAt(v, f, from, length));
  return f + (float)(advance * 48000.0 / (6.283185307179586 * (double)shift));
}

TEST(Pluck, VoicesSoundAtTheirSetFrequency) {
  ConfigScope scope(48000, 128);
  // The loop delay is corrected for the phase delay of both loop filters (the DC blocker
  // alone is worth 2.4 samples at 110 Hz), so the fundamental is in tune at any period.
  for (float f0 : {110.0f, 440.0f, 1000.0f, 3000.0f}) {
    const std::vector<float> note = pluckNote(f0, 21600.0f, 0.9f, 12288);
    EXPECT_NEAR(partialFrequency(note, f0, 2400, 4800, 4800), f0, 0.05f) << f0;
  }
}

TEST(Pluck, DecayIsTheAmplitudeKeptPer76ms) {
  ConfigScope scope(48000, 128);
  const long step = 3662; // 0.0763 s
  for (float decay : {0.5f, 0.8f}) {
    const std::vector<float> note = pluckNote(220.0f, 21600.0f, decay, 12288);
    const double ratio = std::abs(partialAt(note, 220.0f, 2400 + step, 2400)) / std::abs(partialAt(note, 220.0f, 2400, 2400));
    EXPECT_NEAR(ratio, decay, 0.01) << decay;
  }
}

float rms(const std::vector<float> &v, long from, long count) {
  double sum = 0.0;
  for (long i = from; i < from + count; i++) sum += (double)v[i] * v[i];
  return (float)std::sqrt(sum / (double)count);
}

TEST(Pluck, DampAndDecayOutsideTheirRangeActAsTheLimits) {
  ConfigScope scope(48000, 128);
  EXPECT_EQ(pluckNote(440.0f, 5.0f, 0.9f, 2048), pluckNote(440.0f, 20.0f, 0.9f, 2048));
  EXPECT_EQ(pluckNote(440.0f, NAN, 0.9f, 2048), pluckNote(440.0f, 21600.0f, 0.9f, 2048));
  EXPECT_EQ(pluckNote(440.0f, 1e9f, 0.9f, 2048), pluckNote(440.0f, 21600.0f, 0.9f, 2048));
  EXPECT_EQ(pluckNote(440.0f, 2000.0f, 1.0f, 2048), pluckNote(440.0f, 2000.0f, 0.999995f, 2048));
  EXPECT_EQ(pluckNote(440.0f, 2000.0f, NAN, 2048), pluckNote(440.0f, 2000.0f, 0.999995f, 2048));
  EXPECT_EQ(pluckNote(440.0f, 2000.0f, 0.0f, 2048), pluckNote(440.0f, 2000.0f, 0.000001f, 2048));
  EXPECT_NE(pluckNote(440.0f, 2000.0f, 0.5f, 2048), pluckNote(440.0f, 2000.0f, 0.9f, 2048));
}

TEST(Pluck, LoopGainIsAtMostFourAndLoopDelayStaysInTheLine) {
  const float sr = 48000.0f;
  const float heavyDamping = expf(-6.2831855f * 20.0f / sr);
  const Pluck::Loop damped = Pluck::loopFor(1000.0f, heavyDamping, 0.0f, 2432, sr);
  EXPECT_EQ(damped.gain, 4.0f);
  const Pluck::Loop light = Pluck::loopFor(440.0f, expf(-6.2831855f * 20000.0f / sr), 0.0f, 2432, sr);
  EXPECT_NEAR(light.gain, 1.0f, 0.01f); // nearly transparent filters need no make-up
  EXPECT_NEAR(light.delay, sr / 440.0f, 1.5f);
  EXPECT_EQ(Pluck::loopFor(sr / 2424.0f * 0.5f, heavyDamping, 0.0f, 2432, sr).delay, 2424.0f);
  EXPECT_EQ(Pluck::loopFor(sr / 2.0f, heavyDamping, 0.0f, 2432, sr).delay, 4.0f);
}

TEST(Pluck, ZeroSilencesEveryVoiceAtOnce) {
  ConfigScope scope(48000, 128);
  Held<Pluck> pluck(0.05f);
  Stream stream(*pluck);
  stream.drive(pluck->mIn, [](long i) { return i < 64 ? 0.5f : 0.0f; });
  stream.drive(pluck->mTrigger, [](long i) { return (i / 300) % 2 == 1 ? 1.0f : 0.0f; });
  pluck->mF0.setConstant(300.0f);
  pluck->mDamp.setConstant(5000.0f);
  pluck->mDecay.setConstant(0.99f);
  const auto &out = stream.record(pluck->mOut);
  stream.run(2048);
  EXPECT_GT(rms(out, 1024, 1024), 1e-3f); // ringing
  const int voice = pluck->currentVoice();
  pluck->zero();
  EXPECT_EQ(pluck->currentVoice(), voice);
  const long from = stream.index();
  stream.run(1024);
  for (long i = from; i < from + 1024; i++) ASSERT_EQ(out[i], 0.0f) << i;
}

TEST(Pluck, FramesBelowFourSamplesAllocateNothing) {
  ConfigScope scope(48000, 2);
  Held<Pluck> pluck(0.05f);
  EXPECT_EQ(pluck->lineLength(), 0);
  EXPECT_EQ(pluck->allocateTimeUpTo(1.0f), 0.0f);
}

} // namespace
