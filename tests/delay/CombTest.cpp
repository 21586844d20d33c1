#include "units/delay/Comb.h"

#include "support/Harness.h"
#include "support/Stream.h"
#include "support/UnitRegistry.h"

#include <od/BigHeap.h>

#include <gtest/gtest.h>

#include <cmath>

QVZ_REGISTER_UNIT("Comb", [] { return new Comb(); }, 0.1f);

namespace {

using qvztest::ConfigScope;
using qvztest::constant;
using qvztest::Held;
using qvztest::impulseAt;
using qvztest::Stream;

TEST(Comb, RegistersPortsAndSizesBothLines) {
  ConfigScope scope(48000, 128);
  const size_t before = od::BigHeap::inUse();
  Held<Comb> comb;
  ASSERT_EQ(comb->inputCount(), 4);
  const char *inputs[] = {"In", "InR", "f0", "Q"};
  for (int k = 0; k < 4; k++) EXPECT_EQ(comb->getInput(k)->name(), inputs[k]);
  ASSERT_EQ(comb->outputCount(), 2);
  EXPECT_EQ(comb->getOutput(0)->name(), "Out");
  EXPECT_EQ(comb->getOutput(1)->name(), "OutR");
  ASSERT_EQ(comb->optionCount(), 1);
  EXPECT_EQ(comb->getOption(0)->name(), "Type");
  EXPECT_EQ(comb->getOption(0)->value(), 1);
  // 50 ms plus 4 samples per line, one block for both.
  EXPECT_EQ(comb->lineLength(), 2404);
  EXPECT_EQ(od::BigHeap::inUse() - before, 2404u * 8u);
  EXPECT_EQ(comb->lowestFrequency(), 48000.0f / 2401.0f);
}

// Impulses into both channels (the right one inverted) through a comb at f0 with feedback q.
struct Ringing {
  std::vector<float> left, right;
};
Ringing ring(float f0, float q, int type, long samples) {
  Held<Comb> comb;
  Stream stream(*comb);
  stream.drive(comb->mIn, impulseAt(0));
  stream.drive(comb->mInR, impulseAt(0, -1.0f));
  comb->mF0.setConstant(f0);
  comb->mQ.setConstant(q);
  comb->mType.set(type);
  const auto &left = stream.record(comb->mOut);
  const auto &right = stream.record(comb->mOutR);
  stream.run(samples);
  return {left, right};
}

TEST(Comb, EchoesEveryPeriodWithTheSignOfType) {
  ConfigScope scope(48000, 128);
  // 480 Hz: a period of exactly 100 samples.
  const Ringing negative = ring(480.0f, 0.5f, 3, 512);
  const Ringing positive = ring(480.0f, 0.5f, 1, 512);
  const Ringing other = ring(480.0f, 0.5f, 7, 512);
  const float echoes[] = {1.0f, -0.5f, 0.25f, -0.125f, 0.0625f};
  for (int k = 0; k < 5; k++) {
    EXPECT_EQ(negative.left[100 * k], echoes[k]) << k;
    EXPECT_EQ(negative.right[100 * k], -echoes[k]) << k;
    EXPECT_EQ(positive.left[100 * k], std::fabs(echoes[k])) << k;
    EXPECT_EQ(other.left[100 * k], std::fabs(echoes[k])) << k;
  }
  for (long i = 1; i < 512; i++)
    if (i % 100 != 0) {
      ASSERT_EQ(negative.left[i], 0.0f) << i;
    }
}

TEST(Comb, ZeroFeedbackIsTheInputExactly) {
  Held<Comb> comb;
  Stream stream(*comb);
  stream.drive(comb->mIn, [](long i) { return sinf(0.1f * (float)i); });
  stream.drive(comb->mInR, [](long i) { return cosf(0.3f * (float)i); });
  comb->mF0.setConstant(1000.0f);
  comb->mQ.setConstant(-2.0f); // below 0 acts as 0
  const auto &left = stream.record(comb->mOut);
  const auto &right = stream.record(comb->mOutR);
  stream.run(1024);
  for (long i = 0; i < 1024; i++) {
    ASSERT_EQ(left[i], sinf(0.1f * (float)i));
    ASSERT_EQ(right[i], cosf(0.3f * (float)i));
  }
}

TEST(Comb, FrequencyAndFeedbackAreLimited) {
  ConfigScope scope(48000, 128);
  // Below the lowest frequency, or not a number: the longest period, 2401 samples.
  for (float f0 : {1.0f, 0.0f, -100.0f, NAN}) {
    const Ringing r = ring(f0, 0.5f, 1, 2560);
    EXPECT_EQ(r.left[2401], 0.5f) << f0;
    for (long i = 1; i < 2401; i++) ASSERT_EQ(r.left[i], 0.0f) << f0 << " at " << i;
  }
  // Above 0.45 of the rate: 21600 Hz, a delay of 2.22 samples read by interpolation.
  EXPECT_EQ(ring(1e9f, 0.5f, 1, 128).left, ring(21600.0f, 0.5f, 1, 128).left);
  EXPECT_EQ(ring(INFINITY, 0.5f, 1, 128).left, ring(21600.0f, 0.5f, 1, 128).left);
  const Ringing fast = ring(21600.0f, 0.5f, 1, 128);
  EXPECT_EQ(fast.left[1], 0.0f);
  EXPECT_GT(fast.left[2], 0.3f);
  EXPECT_GT(fast.left[3], 0.05f);
  // Feedback above 0.98 or not a number is 0.98.
  EXPECT_EQ(ring(480.0f, 0.98f, 1, 512).left[100], 0.98f);
  EXPECT_EQ(ring(480.0f, 5.0f, 1, 512).left, ring(480.0f, 0.98f, 1, 512).left);
  EXPECT_EQ(ring(480.0f, NAN, 3, 512).left, ring(480.0f, 0.98f, 3, 512).left);
}

TEST(Comb, SustainedInputNeverDrivesTheOutputBeyondFour) {
  for (int type : {1, 3}) {
    Held<Comb> comb;
    Stream stream(*comb);
    stream.drive(comb->mIn, constant(1.0f));
    // A square wave at the comb's resonance: period 100 samples for positive feedback,
    // 200 (half of f0) for negative feedback.
    const long half = type == 1 ? 50 : 100;
    stream.drive(comb->mInR, [half](long i) { return (i / half) % 2 ? 1.0f : -1.0f; });
    comb->mF0.setConstant(480.0f);
    comb->mQ.setConstant(0.98f);
    comb->mType.set(type);
    const auto &left = stream.record(comb->mOut);
    const auto &right = stream.record(comb->mOutR);
    stream.run(48000);
    float peak = 0.0f;
    for (long i = 0; i < 48000; i++) {
      ASSERT_LE(std::fabs(left[i]), 4.0f);
      ASSERT_LE(std::fabs(right[i]), 4.0f);
      peak = std::max(peak, std::fabs(right[i]));
    }
    EXPECT_EQ(peak, 4.0f) << type;
    if (type == 1) {
      EXPECT_EQ(left.back(), 4.0f); // a constant builds up too
    }
  }
}

TEST(Comb, WithoutLinesPassesBothChannels) {
  od::BigHeap::refuseNth(1);
  Held<Comb> comb;
  od::BigHeap::refuseNth(0);
  EXPECT_FALSE(comb->hasLines());
  Stream stream(*comb);
  stream.drive(comb->mIn, [](long i) { return 0.01f * (float)i; });
  stream.drive(comb->mInR, [](long i) { return -0.02f * (float)i; });
  comb->mQ.setConstant(0.9f);
  const auto &left = stream.record(comb->mOut);
  const auto &right = stream.record(comb->mOutR);
  stream.run(256);
  for (long i = 0; i < 256; i++) {
    ASSERT_EQ(left[i], 0.01f * (float)i);
    ASSERT_EQ(right[i], -0.02f * (float)i);
  }
}

} // namespace
