#include "units/delay/ReverseDelay.h"

#include "support/Harness.h"
#include "support/HeapLimit.h"
#include "support/Stream.h"
#include "support/UnitRegistry.h"

#include <od/BigHeap.h>

#include <gtest/gtest.h>

#include <cmath>

QVZ_REGISTER_UNIT("ReverseDelay", [] {
  auto *unit = new ReverseDelay(2);
  unit->allocateTimeUpTo(0.5f);
  return unit;
}, 1.5f);

namespace {

using qvztest::ConfigScope;
using qvztest::constant;
using qvztest::Held;
using qvztest::HeapLimit;
using qvztest::Stream;

TEST(ReverseDelay, RegistersRightPortsOnlyWhenStereo) {
  Held<ReverseDelay> mono(1);
  ASSERT_EQ(mono->inputCount(), 2);
  EXPECT_EQ(mono->getInput(0)->name(), "Left In");
  EXPECT_EQ(mono->getInput(1)->name(), "Feedback");
  ASSERT_EQ(mono->outputCount(), 1);
  EXPECT_EQ(mono->getOutput(0)->name(), "Left Out");
  ASSERT_EQ(mono->parameterCount(), 1);
  EXPECT_EQ(mono->getParameter(0)->name(), "Delay");
  EXPECT_EQ(mono->getParameter(0)->value(), 1.0f);
  EXPECT_TRUE(mono->getParameter(0)->isSerializationEnabled());

  Held<ReverseDelay> stereo(2);
  ASSERT_EQ(stereo->inputCount(), 3);
  EXPECT_EQ(stereo->getInput(2)->name(), "Right In");
  ASSERT_EQ(stereo->outputCount(), 2);
  EXPECT_EQ(stereo->getOutput(1)->name(), "Right Out");
}

TEST(ReverseDelay, SizesMemoryInWholeFramesAboveTwiceTheDelay) {
  ConfigScope scope(48000, 128);
  const size_t before = od::BigHeap::inUse();
  Held<ReverseDelay> mono(1);
  EXPECT_EQ(od::BigHeap::inUse(), before); // nothing until Lua asks
  EXPECT_EQ(mono->maximumDelayTime(), 0.0f);
  EXPECT_EQ(mono->minimumDelayTime(), 128.0f * globalConfig.samplePeriod);
  // 1 s: 96000 / 128 + 1 = 751 frames, 96128 samples, a maximum delay of 48064.
  EXPECT_EQ(mono->allocateTimeUpTo(1.0f), 48064.0f * globalConfig.samplePeriod);
  EXPECT_FLOAT_EQ(mono->allocateTimeUpTo(1.0f), 48064.0f / 48000.0f);
  EXPECT_EQ(mono->bufferLength(), 96128);
  EXPECT_EQ(mono->maximumDelay(), 48064);
  EXPECT_EQ(mono->maximumDelayTime(), 48064.0f * globalConfig.samplePeriod);
  EXPECT_EQ(od::BigHeap::inUse() - before, 96128u * 4u);

  // The same size again keeps the memory; a request under half a frame changes nothing.
  const int allocations = od::BigHeap::allocationCount();
  EXPECT_EQ(mono->allocateTimeUpTo(1.0001f), 48064.0f * globalConfig.samplePeriod);
  EXPECT_EQ(mono->allocateTimeUpTo(0.0001f), 0.0f);
  EXPECT_EQ(mono->allocateTimeUpTo(NAN), 0.0f); // taken as 1 ms: 96 samples, under a frame
  EXPECT_EQ(od::BigHeap::allocationCount(), allocations);
  EXPECT_EQ(mono->bufferLength(), 96128);

  Held<ReverseDelay> stereo(2);
  stereo->allocateTimeUpTo(1.0f);
  EXPECT_EQ(od::BigHeap::inUse() - before, 3u * 96128u * 4u);
  stereo->deallocate();
  mono->deallocate();
  EXPECT_EQ(od::BigHeap::inUse(), before);
  EXPECT_EQ(mono->maximumDelayTime(), 0.0f);
}

TEST(ReverseDelay, RefusedMemoryIsRetriedAtHalfSize) {
  ConfigScope scope(48000, 128);
  const size_t before = od::BigHeap::inUse();
  {
    // Room for one full line but not two: the stereo pair settles on 375 frames.
    HeapLimit limit((long long)before + 2 * 96128 * 4 - 1);
    Held<ReverseDelay> stereo(2);
    EXPECT_EQ(stereo->allocateTimeUpTo(1.0f), 24000.0f * globalConfig.samplePeriod);
    EXPECT_EQ(stereo->bufferLength(), 48000);
    EXPECT_EQ(od::BigHeap::inUse() - before, 2u * 48000u * 4u);
  }
  {
    HeapLimit limit((long long)before);
    Held<ReverseDelay> mono(1);
    EXPECT_EQ(mono->allocateTimeUpTo(1.0f), 0.0f);
    EXPECT_EQ(mono->bufferLength(), 0);
    EXPECT_EQ(od::BigHeap::inUse(), before);
  }
  {
    // A time whose byte count would overflow is the largest request that fits, then halved
    // down to the heap: 2047 frames of 128 samples under a 1 MiB limit.
    HeapLimit limit((long long)before + (1 << 20));
    for (float huge : {1e30f, INFINITY, 3e7f}) {
      Held<ReverseDelay> mono(1);
      EXPECT_EQ(mono->allocateTimeUpTo(huge), 131008.0f * globalConfig.samplePeriod) << huge;
      EXPECT_EQ(mono->bufferLength(), 2047 * 128) << huge;
    }
  }
  EXPECT_EQ(od::BigHeap::inUse(), before);
}

// A mono unit at 48 kHz with memory for `seconds`, "Delay" set, and its input and feedback driven.
struct Rig {
  Held<ReverseDelay> unit{1};
  Stream stream{*unit};
  const std::vector<float> &out;
  Rig(float seconds, float delay, std::function<float(long)> in, float feedback = 0.0f)
      : out(stream.record(unit->mLeftOut)) {
    unit->allocateTimeUpTo(seconds);
    unit->mDelay.hardSet(delay);
    stream.drive(unit->mLeftIn, std::move(in));
    unit->mFeedback.setConstant(feedback);
  }
};

TEST(ReverseDelay, SegmentsPlayBackwardsWithLinearFades) {
  ConfigScope scope(48000, 128);
  {
    Rig rig(0.2f, 0.1f, constant(1.0f)); // S = 4800, fade 240
    rig.stream.run(9600);
    for (long i = 0; i < 4800; i++) ASSERT_EQ(rig.out[i], 0.0f) << i; // nothing recorded yet
    const float *segment = rig.out.data() + 4800;
    EXPECT_EQ(segment[0], 0.0f);
    EXPECT_EQ(segment[1], 1.0f / 240.0f);
    EXPECT_EQ(segment[120], 0.5f);
    EXPECT_EQ(segment[239], 239.0f / 240.0f);
    EXPECT_EQ(segment[240], 1.0f);
    EXPECT_EQ(segment[4560], 1.0f);
    EXPECT_EQ(segment[4561], 239.0f / 240.0f);
    EXPECT_EQ(segment[4799], 1.0f / 240.0f);
  }
  {
    // The segment just recorded comes out newest first.
    Rig rig(0.2f, 0.1f, [](long i) { return 1e-4f * (float)i; });
    rig.stream.run(9600);
    for (long p = 240; p <= 4560; p++) ASSERT_EQ(rig.out[4800 + p], 1e-4f * (float)(4799 - p)) << p;
  }
  {
    // A segment shorter than four fades ramps over a quarter of itself: 192 samples, 48.
    Rig rig(0.2f, 0.004f, constant(1.0f));
    rig.stream.run(512);
    EXPECT_EQ(rig.out[192], 0.0f);
    EXPECT_EQ(rig.out[193], 1.0f / 48.0f);
    EXPECT_EQ(rig.out[192 + 48], 1.0f);
    EXPECT_EQ(rig.out[192 + 144], 1.0f);
    EXPECT_EQ(rig.out[192 + 145], 47.0f / 48.0f);
    EXPECT_EQ(rig.out[384], 0.0f);
  }
}

TEST(ReverseDelay, DelayIsLimitedToTheMemoryAndToOneFrame) {
  ConfigScope scope(48000, 128);
  // 0.05 s gives 38 frames: 4864 samples, a maximum delay of 2432.
  for (float delay : {10.0f, 0.0507f}) {
    Rig rig(0.05f, delay, constant(1.0f));
    rig.stream.run(5000);
    EXPECT_EQ(rig.out[2432], 0.0f) << delay;
    EXPECT_EQ(rig.out[2433], 1.0f / 240.0f) << delay;
    EXPECT_EQ(rig.out[2432 + 1216], 1.0f) << delay;
  }
  for (float delay : {0.0f, -3.0f, NAN, 0.001f}) {
    Rig rig(0.05f, delay, constant(1.0f));
    rig.stream.run(512);
    EXPECT_EQ(rig.out[128], 0.0f) << delay;
    EXPECT_EQ(rig.out[129], 1.0f / 32.0f) << delay;
    EXPECT_EQ(rig.out[256], 0.0f) << delay;
  }
}

TEST(ReverseDelay, DelayChangesAtTheNextSegmentBoundary) {
  ConfigScope scope(48000, 128);
  Rig rig(0.2f, 0.1f, constant(1.0f));
  rig.stream.run(1280);
  rig.unit->mDelay.set(0.02f); // 960 samples from the next boundary on
  rig.stream.run(9600);
  EXPECT_EQ(rig.out[4800], 0.0f);
  EXPECT_EQ(rig.out[4800 + 2400], 1.0f); // still the 4800-sample segment
  EXPECT_EQ(rig.out[9600], 0.0f);
  EXPECT_EQ(rig.out[9600 + 960], 0.0f);
  EXPECT_EQ(rig.out[9600 + 961], 1.0f / 240.0f);
}

TEST(ReverseDelay, FeedbackRerecordsTheReversedSound) {
  ConfigScope scope(48000, 128);
  auto middleOfThirdSegment = [](float feedback) {
    Rig rig(0.2f, 0.1f, constant(1.0f), feedback);
    rig.stream.run(14400);
    return rig.out[9600 + 2400];
  };
  EXPECT_EQ(middleOfThirdSegment(1.0f), 2.0f);
  EXPECT_EQ(middleOfThirdSegment(5.0f), 2.0f);
  EXPECT_EQ(middleOfThirdSegment(NAN), 2.0f);
  EXPECT_EQ(middleOfThirdSegment(0.5f), 1.5f);
  EXPECT_EQ(middleOfThirdSegment(0.0f), 1.0f);
  EXPECT_EQ(middleOfThirdSegment(-1.0f), 1.0f);
}

TEST(ReverseDelay, WithoutMemoryPassesThroughAndZeroClearsTheLines) {
  ConfigScope scope(48000, 128);
  Held<ReverseDelay> stereo(2);
  Stream stream(*stereo);
  stream.drive(stereo->mLeftIn, [](long i) { return 0.001f * (float)i; });
  stream.drive(stereo->mRightIn, [](long i) { return -0.002f * (float)i; });
  const auto &left = stream.record(stereo->mLeftOut);
  const auto &right = stream.record(stereo->mRightOut);
  stream.run(256);
  for (long i = 0; i < 256; i++) {
    ASSERT_EQ(left[i], 0.001f * (float)i);
    ASSERT_EQ(right[i], -0.002f * (float)i);
  }
  stereo->allocateTimeUpTo(0.2f);
  stereo->mDelay.hardSet(0.01f); // 480 samples
  stream.run(2048);
  for (long i = 256 + 480 + 1; i < 256 + 960; i++) {
    ASSERT_NE(left[i], 0.0f) << i;
    ASSERT_EQ(right[i], -2.0f * left[i]) << i; // both channels share the segments
  }
  // zero() restarts from silence: the first segment after it is silent again.
  stereo->zero();
  const long from = stream.index();
  stream.run(480);
  for (long i = from; i < from + 480; i++) ASSERT_EQ(left[i], 0.0f) << i;
  stereo->deallocate();
  const long after = stream.index();
  stream.run(128);
  EXPECT_EQ(left[after + 5], 0.001f * (float)(after + 5));
  EXPECT_EQ(right[after + 5], -0.002f * (float)(after + 5));
}

TEST(ReverseDelay, FramesBelowFourSamplesAllocateNothing) {
  ConfigScope scope(48000, 3);
  Held<ReverseDelay> mono(1);
  EXPECT_EQ(mono->allocateTimeUpTo(1.0f), 0.0f);
  EXPECT_EQ(mono->minimumDelayTime(), 0.0f);
  mono->mLeftOut.buffer()[0] = 42.0f;
  qvztest::runFrame(*mono);
  EXPECT_EQ(mono->mLeftOut.buffer()[0], 42.0f);
}

} // namespace
