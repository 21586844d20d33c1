#include "units/delay/Freeze.h"

#include "support/Harness.h"
#include "support/Stream.h"
#include "support/UnitRegistry.h"

#include <od/BigHeap.h>

#include <gtest/gtest.h>

#include <cmath>

QVZ_REGISTER_UNIT("Freeze", [] { return new Freeze(); }, 0.1f);

namespace {

using qvztest::ConfigScope;
using qvztest::constant;
using qvztest::Held;
using qvztest::Stream;

// A slowly changing, non-periodic input: every loop position holds a different value.
float music(long i) { return 0.5f * sinf(0.0021f * (float)i) + 0.3f * sinf(0.00077f * (float)i * 1.3f); }

// At 32768 Hz the loop lengths below are powers of two, so the loop phase steps by exact
// binary fractions and a loop lasts exactly its length (at other rates the phase sum drifts
// by a few samples per second of loop, as float sums do).
constexpr int kExactRate = 32768;

// A gate that is high from `on` (inclusive) to `off` (exclusive).
std::function<float(long)> gate(long on, long off) {
  return [on, off](long i) { return i >= on && i < off ? 1.0f : 0.0f; };
}

TEST(Freeze, WithTheGateLowOrWithoutItsBufferTheInputPassesUnchanged) {
  for (bool refused : {false, true}) {
    if (refused) od::BigHeap::refuseNth(1);
    Held<Freeze> freeze;
    Stream stream(*freeze);
    stream.drive(freeze->mIn, music);
    stream.drive(freeze->mFreeze, refused ? constant(1.0f) : constant(0.5f));
    stream.drive(freeze->mSize, constant(0.1f));
    const std::vector<float> &out = stream.record(freeze->mOut);
    stream.run(20000);
    for (long i = 0; i < 20000; i++) ASSERT_EQ(out[i], music(i)) << "sample " << i;
  }
}

TEST(Freeze, LoopsTheLastSizeSecondsBeforeTheGateRose) {
  ConfigScope scope(kExactRate, 128);
  const long rise = 20000;
  const long loop = 4096; // 0.125 s
  Held<Freeze> freeze;
  Stream stream(*freeze);
  stream.drive(freeze->mIn, [=](long i) { return i < rise ? music(i) : 0.0f; });
  stream.drive(freeze->mFreeze, gate(rise, 1000000));
  stream.drive(freeze->mSize, constant(0.125f));
  const std::vector<float> &out = stream.record(freeze->mOut);
  stream.run(rise + 4 * loop);
  // At the start of each cycle head A is silent and head B, in the middle of the loop, is
  // at full gain: the output is the input from half a loop before the rise.
  for (long cycle = 1; cycle <= 3; cycle++)
    EXPECT_NEAR(out[rise + cycle * loop - 1], music(rise - loop / 2), 1e-5f) << "cycle " << cycle;
  // The loop repeats every Size seconds.
  for (long i = rise + loop; i < rise + 3 * loop; i++) ASSERT_NEAR(out[i + loop], out[i], 1e-5f) << "sample " << i;
  // No clicks: no step is larger than the input's steepest step times the crossfade's
  // largest combined gain.
  float steepest = 0.0f, largestStep = 0.0f;
  for (long i = rise - loop; i < rise; i++) steepest = std::max(steepest, std::fabs(music(i) - music(i - 1)));
  for (long i = rise + loop; i < rise + 4 * loop; i++) largestStep = std::max(largestStep, std::fabs(out[i] - out[i - 1]));
  EXPECT_LT(largestStep, 1.5f * steepest + 1e-3f);
}

TEST(Freeze, TheLoopFadesInWithAn8MillisecondTimeConstant) {
  // Ones recorded, then silence while frozen with the shortest loop (128 samples): at every
  // loop start the loop value is exactly 1, so the output there is the wet gain itself.
  const long rise = 48000;
  Held<Freeze> freeze;
  Stream stream(*freeze);
  stream.drive(freeze->mIn, [=](long i) { return i < rise ? 1.0f : 0.0f; });
  stream.drive(freeze->mFreeze, gate(rise, 1000000));
  stream.drive(freeze->mSize, constant(0.0f));
  const std::vector<float> &out = stream.record(freeze->mOut);
  stream.run(rise + 8000);
  EXPECT_NEAR(out[rise + 383], 1.0f - expf(-1.0f), 0.003f); // 384 samples = 8 ms
  EXPECT_NEAR(out[rise + 767], 1.0f - expf(-2.0f), 0.003f);
  // Once faded in, the loop is 128 samples long and holds the recorded ones, weighted by
  // the two head gains (1 at the loop start, 2 x 0.706 a quarter of the way in).
  for (long i = rise + 6000; i < rise + 7800; i++) ASSERT_NEAR(out[i + 128], out[i], 1e-4f) << "sample " << i;
  EXPECT_NEAR(out[rise + 128 * 50 - 1], 1.0f, 1e-4f);
  EXPECT_NEAR(out[rise + 128 * 50 + 31], 24.0f / 17.0f, 1e-4f);
}

TEST(Freeze, SizeIsLimitedToOneSecondAndTheLoopFollowsItWhileFrozen) {
  ConfigScope scope(kExactRate, 128);
  const long rise = 40960; // whole frames, so that the size changes exactly at a loop start
  Held<Freeze> freeze;
  Stream stream(*freeze);
  float size = 7.0f;
  stream.drive(freeze->mIn, [=](long i) { return i < rise ? music(i) : 0.0f; });
  stream.drive(freeze->mFreeze, gate(rise, 1000000));
  stream.drive(freeze->mSize, [&size](long) { return size; });
  const std::vector<float> &out = stream.record(freeze->mOut);
  stream.run(rise + 32768);
  // A loop of one second: its start plays the input half a second back.
  EXPECT_NEAR(out[rise + 32768 - 1], music(rise - 16384), 1e-5f);
  // A new size takes effect at once and still ends at the freeze point.
  size = 0.0625f; // 2048 samples
  stream.run(3 * 2048);
  const long start = rise + 32768;
  EXPECT_NEAR(out[start + 2048 - 1], music(rise - 1024), 1e-5f);
  for (long i = start; i < start + 2 * 2048; i++) ASSERT_NEAR(out[i + 2048], out[i], 1e-5f) << "sample " << i;
}

TEST(Freeze, RefreezingLoopsWhatWasRecordedSinceTheRelease) {
  Held<Freeze> freeze;
  Stream stream(*freeze);
  // +1 until the first freeze, which holds for 4800 samples; then -1 recorded, then frozen again.
  stream.drive(freeze->mIn, [](long i) { return i < 10000 ? 1.0f : (i < 20000 ? -1.0f : 0.0f); });
  stream.drive(freeze->mFreeze, [](long i) { return (i >= 10000 && i < 14800) || i >= 20000 ? 1.0f : 0.0f; });
  stream.drive(freeze->mSize, constant(0.0f));
  const std::vector<float> &out = stream.record(freeze->mOut);
  stream.run(26000);
  EXPECT_NEAR(out[10000 + 128 * 36 - 1], 1.0f, 1e-4f); // loop of ones, head B alone
  EXPECT_NEAR(out[20000 + 128 * 45 - 1], -1.0f, 1e-4f);
}

TEST(Freeze, AFreezePointAtTheStartOfTheBufferLoopsAcrossItsEnd) {
  // Freezing exactly when the write index has wrapped to 0: the loop's positions lie just
  // below 0 and wrap to the end of the buffer.
  ConfigScope scope(kExactRate, 128);
  const long len = kExactRate + 8;
  Held<Freeze> freeze;
  Stream stream(*freeze);
  stream.drive(freeze->mIn, [=](long i) { return i < len ? music(i) : 0.0f; });
  stream.drive(freeze->mFreeze, gate(len, 1000000));
  stream.drive(freeze->mSize, constant(0.015625f)); // 512 samples
  const std::vector<float> &out = stream.record(freeze->mOut);
  stream.run(len + 10 * 512);
  EXPECT_NEAR(out[len + 10 * 512 - 1], music(len - 256), 1e-5f);
  for (long i = len + 5 * 512; i < len + 9 * 512; i++) ASSERT_NEAR(out[i + 512], out[i], 1e-5f) << "sample " << i;
}

} // namespace
