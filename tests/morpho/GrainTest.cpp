#include "morpho/MonoGrain.h"
#include "morpho/StereoGrain.h"

#include "morpho/SampleSupport.h"
#include "support/Harness.h"

#include <od/AudioThread.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using morpho::Grain;
using morpho::MonoGrain;
using morpho::StereoGrain;
using qvztest::ConfigScope;
using qvztest::HeldSample;

float ramp(int frame, int) { return 0.01f * (float)frame; }

// Starts a grain with a trapezoid of the given fade (the head's usual set-up).
void start(Grain &grain, int position, int size, float speed, float gain = 1.0f, float pan = 0.0f,
           int envelope = Grain::kTrapezoid, int fade = 16) {
  grain.init(position, size, speed, gain, pan);
  grain.setEnvelope(envelope);
  grain.setFade(fade);
}

// The envelope a freshly started twin of a grain produces over its first `count` outputs.
std::vector<float> twinEnvelope(od::Sample *sample, int position, int size, float speed, int envelope = Grain::kTrapezoid,
                                int fade = 16, float squash = 0.0f) {
  MonoGrain twin;
  twin.setSample(sample);
  start(twin, position, size, speed, 1.0f, 0.0f, envelope, fade);
  twin.setSquash(squash);
  std::vector<float> out(((size + 3) & ~3) + 64, 0.0f);
  twin.generateEnvelope(out.data(), std::max(size, 64) & ~3);
  return out;
}

TEST(Grain, RegionIsClampedIntoTheSampleAndIndicesWrapInsideIt) {
  HeldSample sample(1, 1000, 48000.0f, ramp);
  Grain grain;
  EXPECT_EQ(grain.wrapIndex(12345), 0); // no sample, no region
  grain.setSample(sample.get());
  EXPECT_EQ(grain.regionStart(), 0);
  EXPECT_EQ(grain.regionLength(), 1000);
  grain.setRegion(2000, 100);
  EXPECT_EQ(grain.regionStart(), 999);
  EXPECT_EQ(grain.regionLength(), 1);
  grain.setRegion(-5, 5000);
  EXPECT_EQ(grain.regionStart(), 0);
  EXPECT_EQ(grain.regionLength(), 1000);
  grain.setRegion(10, 0);
  EXPECT_EQ(grain.regionLength(), 1);
  grain.setRegion(10, 100);
  EXPECT_EQ(grain.wrapIndex(-1), 99);
  EXPECT_EQ(grain.wrapIndex(110), 10);
  EXPECT_EQ(grain.wrapIndex(9), 109);
  EXPECT_EQ(grain.wrapIndex(55), 55);
  EXPECT_EQ(grain.wrapIndex(-2147483647 - 1), 10 + (int)((-2147483648LL - 10) % 100 + 100));

  HeldSample empty(1, 0, 48000.0f, ramp);
  grain.setSample(empty.get());
  EXPECT_EQ(grain.regionLength(), 0);
  grain.setRegion(3, 3);
  EXPECT_EQ(grain.regionLength(), 0);
  EXPECT_EQ(grain.wrapIndex(7), 0);
}

TEST(Grain, InitSetsDurationRateAndPan) {
  ConfigScope scope(48000, 128);
  HeldSample sample(1, 1000, 44100.0f, ramp);
  Grain grain;
  grain.init(5, 500, 1.0f, 1.0f, 0.0f);
  EXPECT_FALSE(grain.isActive()); // no sample, no sound
  grain.setSample(sample.get());
  EXPECT_EQ(grain.rateRatio(), 44100.0f * (1.0f / 48000.0f));
  grain.init(1005, 10, 2.0f, 0.8f, 0.0f);
  EXPECT_TRUE(grain.isActive());
  EXPECT_EQ(grain.position(), 5);
  EXPECT_EQ(grain.duration(), 64);
  EXPECT_EQ(grain.remaining(), 64);
  EXPECT_EQ(grain.step(), 2.0f * grain.rateRatio());
  grain.init(0, 130, 1.0f, 0.8f, -1.0f);
  EXPECT_EQ(grain.duration(), 128);
  EXPECT_EQ(grain.gainLeft(), 0.8f);
  EXPECT_EQ(grain.gainRight(), 0.0f);
  grain.init(0, 130, 1.0f, 0.8f, 1.0f);
  EXPECT_EQ(grain.gainLeft(), 0.0f);
  EXPECT_EQ(grain.gainRight(), 0.8f);
  grain.init(0, 130, 1.0f, 0.8f, 0.5f);
  EXPECT_EQ(grain.gainLeft(), 0.4f);
  EXPECT_EQ(grain.gainRight(), 0.8f);
  grain.init(0, 130, 1.0f, 0.8f, -0.000009f);
  EXPECT_EQ(grain.gainLeft(), 0.8f);
  EXPECT_EQ(grain.gainRight(), 0.8f);
}

TEST(Grain, DelayFadeAndSpeedAreKeptInRange) {
  HeldSample sample(1, 1000, 48000.0f, ramp);
  Grain grain;
  grain.setSample(sample.get());
  grain.init(0, 64, 1.0f, 1.0f, 0.0f);
  grain.setDelay(-8);
  EXPECT_EQ(grain.delay(), 0);
  grain.setDelay(7);
  EXPECT_EQ(grain.delay(), 4);
  grain.setDelay(1000);
  EXPECT_EQ(grain.delay(), 64);
  grain.setFade(20);
  grain.setEnvelope(Grain::kTrapezoid);
  EXPECT_EQ(grain.fade(), 0);
  for (float speed : {1e30f, INFINITY}) {
    grain.init(0, 64, speed, 1.0f, 0.0f);
    EXPECT_EQ(grain.step(), 65536.0f);
  }
  grain.init(0, 64, -INFINITY, 1.0f, 0.0f);
  EXPECT_EQ(grain.step(), -65536.0f);
  grain.init(0, 64, NAN, 1.0f, 0.0f);
  EXPECT_EQ(grain.step(), 0.0f);
  grain.init(0, 64, 1.5f, 1.0f, 0.0f);
  EXPECT_EQ(grain.samplesRequired(), 96);
}

TEST(Grain, SineAndHanningWindowsSpanTheGrain) {
  HeldSample sample(1, 1000, 48000.0f, ramp);
  Grain grain;
  grain.setSample(sample.get());
  for (int code : {Grain::kSine, Grain::kHanning}) {
    grain.init(0, 256, 1.0f, 1.0f, 0.0f);
    grain.setEnvelope(code);
    std::vector<float> w(256);
    grain.generateEnvelope(w.data(), 100); // touches 100 values, then the rest
    grain.generateEnvelope(w.data() + 100, 156);
    for (int i = 0; i < 256; i++) {
      const double s = std::sin(2.0 * M_PI * (i + 1) / 512.0);
      EXPECT_NEAR(w[i], code == Grain::kSine ? s : s * s, 2e-5) << "code " << code << " output " << i;
    }
    EXPECT_NEAR(w[127], 1.0f, 1e-6f); // phase 0.25
    EXPECT_NEAR(w[255], 0.0f, 1e-5f); // phase 0.5 at the grain's last output
  }
}

TEST(Grain, TrapezoidRampsFollowRemaining) {
  HeldSample sample(1, 1000, 48000.0f, ramp);
  Grain grain;
  grain.setSample(sample.get());
  grain.init(0, 64, 1.0f, 1.0f, 0.0f);
  grain.setEnvelope(Grain::kTrapezoid);
  grain.setFade(32);
  std::vector<float> w(64);
  grain.generateEnvelope(w.data(), 64);
  for (int i = 0; i <= 32; i++) EXPECT_EQ(w[i], (float)i / 32.0f) << "rise " << i; // no flat top
  for (int i = 33; i < 64; i++) EXPECT_EQ(w[i], (float)(64 - i) / 32.0f) << "fall " << i;

  grain.init(0, 128, 1.0f, 1.0f, 0.0f);
  grain.setEnvelope(Grain::kTrapezoid);
  grain.setFade(16);
  std::vector<float> t(128);
  grain.generateEnvelope(t.data(), 128);
  EXPECT_EQ(t[0], 0.0f);
  EXPECT_EQ(t[8], 0.5f);
  EXPECT_EQ(t[16], 1.0f);
  EXPECT_EQ(t[100], 1.0f);
  EXPECT_EQ(t[120], 8.0f / 16.0f);
  EXPECT_EQ(t[127], 1.0f / 16.0f);

  // Without a fade the window is a rectangle with a silent first output, never NaN.
  grain.init(0, 64, 1.0f, 1.0f, 0.0f);
  grain.setEnvelope(Grain::kTrapezoid);
  grain.generateEnvelope(t.data(), 64);
  EXPECT_EQ(t[0], 0.0f);
  EXPECT_EQ(t[1], 1.0f);
  EXPECT_EQ(t[63], 1.0f);
}

TEST(Grain, SquashFlattensTheWindow) {
  Grain grain;
  float v[8] = {0.0f, 0.25f, 0.5f, 1.0f, -0.5f, 0.1f, 0.9f, 0.75f};
  grain.setSquash(3.0f);
  grain.squashEnvelope(v, 8);
  EXPECT_EQ(v[0], 0.0f);
  EXPECT_NEAR(v[1], 0.75f - (4.0f / 27.0f) * 0.421875f, 1e-6f);
  EXPECT_NEAR(v[2], 1.0f, 1e-6f); // 0.5 * 3 reaches the curve's flat top
  EXPECT_NEAR(v[3], 1.0f, 1e-6f);
  EXPECT_NEAR(v[4], -1.0f, 1e-6f);

  float peak[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  grain.setSquash(1.0001f);
  grain.squashEnvelope(peak, 4);
  EXPECT_NEAR(peak[0], 0.852f, 1e-3f);

  float zero[4] = {0.0f, 0.0f, 0.5f, 0.0f};
  grain.setSquash(INFINITY);
  grain.squashEnvelope(zero, 4);
  EXPECT_EQ(zero[0], 0.0f); // not NaN
  EXPECT_NEAR(zero[2], 1.0f, 1e-6f);

  // Through generateEnvelope: squash 1 changes nothing, squash 3 does.
  HeldSample sample(1, 1000, 48000.0f, ramp);
  grain.setSample(sample.get());
  std::vector<float> plain(64), same(64), driven(64);
  for (auto [squash, out] : {std::pair{0.0f, &plain}, std::pair{1.0f, &same}, std::pair{3.0f, &driven}}) {
    grain.init(0, 64, 1.0f, 1.0f, 0.0f);
    grain.setEnvelope(Grain::kHanning);
    grain.setSquash(squash);
    grain.generateEnvelope(out->data(), 64);
  }
  EXPECT_EQ(plain, same);
  EXPECT_NEAR(driven[31], 1.0f, 1e-6f);
  EXPECT_GT(driven[8], plain[8]);
}

TEST(Grain, SnapsToTheNearestZeroCrossingInTheDirectionOfTheSign) {
  // 2 channels; the snap looks only at the first.
  const float first[10] = {0.5f, -0.1f, -0.2f, -0.3f, 0.0f, 0.4f, 0.3f, 0.2f, -1.0f, 1.0f};
  HeldSample sample(2, 10, 48000.0f, [&](int i, int c) { return c == 0 ? first[i] : -7.0f; });
  Grain grain;
  grain.setSample(sample.get());
  grain.init(2, 64, 1.0f, 1.0f, 0.0f);
  grain.snapToZeroCrossing(10);
  EXPECT_EQ(grain.position(), 4); // first value >= 0 ahead
  grain.init(7, 64, 1.0f, 1.0f, 0.0f);
  grain.snapToZeroCrossing(10);
  EXPECT_EQ(grain.position(), 4); // first value <= 0 behind
  grain.init(4, 64, 1.0f, 1.0f, 0.0f);
  grain.snapToZeroCrossing(10);
  EXPECT_EQ(grain.position(), 4); // exactly 0 stays
  grain.init(1, 64, 1.0f, 1.0f, 0.0f);
  grain.snapToZeroCrossing(2);
  EXPECT_EQ(grain.position(), 1); // nothing within range
  grain.init(8, 64, 1.0f, 1.0f, 0.0f);
  grain.snapToZeroCrossing(2147483647);
  EXPECT_EQ(grain.position(), 9); // bounded by the sample's end, not by the range
}

TEST(Grain, HoldsItsSampleUntilReplacedOrDestroyed) {
  bool firstGone = false, secondGone = false;
  HeldSample first(1, 100, 48000.0f, ramp, &firstGone);
  HeldSample second(1, 100, 48000.0f, ramp, &secondGone);
  {
    StereoGrain grain;
    grain.setSample(first.get());
    EXPECT_EQ(first->referenceCount(), 2);
    first.drop();
    EXPECT_FALSE(firstGone);
    grain.setSample(second.get());
    EXPECT_TRUE(firstGone);
    grain.setSample(second.get()); // the same sample again keeps one reference
    EXPECT_EQ(second->referenceCount(), 2);
    MonoGrain other;
    other.setSample(second.get());
    EXPECT_EQ(second->referenceCount(), 3);
  }
  EXPECT_EQ(second->referenceCount(), 1);
  second.drop();
  EXPECT_TRUE(secondGone);
}

// ---- synthesis ------------------------------------------------------------------------------

TEST(GrainSynthesis, SpeedOneReproducesTheSourceOneFrameLate) {
  ConfigScope scope(48000, 64);
  HeldSample sample(1, 1000, 48000.0f, [](int i, int) { return std::sin(0.37f * (float)i) + 0.001f * (float)i; });
  MonoGrain grain;
  grain.setSample(sample.get());
  start(grain, 100, 128, 1.0f, 0.7f);
  const std::vector<float> env = twinEnvelope(sample.get(), 100, 128, 1.0f);
  std::vector<float> out(64, 0.0f);
  grain.synthesizeFromMonoToMono(out.data());
  EXPECT_EQ(out[0], 0.0f); // history of a fresh grain is zero, and the ramp starts at 0
  for (int j = 1; j < 64; j++) ASSERT_EQ(out[j], 0.7f * (env[j] * sample.at(100 + j - 1))) << "output " << j;
  EXPECT_EQ(grain.position(), 164);
  EXPECT_EQ(grain.fraction(), 0.0f);
  EXPECT_EQ(grain.remaining(), 64);
  EXPECT_TRUE(grain.isActive());
}

TEST(GrainSynthesis, DelayedGrainStartsInsideTheFrameAndStopsWhenDone) {
  ConfigScope scope(48000, 32);
  HeldSample sample(1, 1000, 48000.0f, [](int, int) { return 1.0f; });
  MonoGrain grain;
  grain.setSample(sample.get());
  start(grain, 0, 64, 1.0f);
  grain.setDelay(8);
  std::vector<float> out(32, 0.0f);
  grain.synthesizeFromMonoToMono(out.data());
  for (int j = 0; j < 9; j++) EXPECT_EQ(out[j], 0.0f) << j; // the delay, then the ramp's first 0
  EXPECT_EQ(out[9], 1.0f / 16.0f);
  EXPECT_EQ(grain.delay(), 0);
  EXPECT_EQ(grain.remaining(), 64 - 24);

  // A delay longer than the frame counts down by whole frames.
  start(grain, 0, 64, 1.0f);
  grain.setDelay(40);
  std::fill(out.begin(), out.end(), 0.0f);
  grain.synthesizeFromMonoToMono(out.data());
  EXPECT_EQ(grain.delay(), 8);
  EXPECT_EQ(grain.remaining(), 64);
  for (float v : out) EXPECT_EQ(v, 0.0f);

  // 12 outputs left: exactly 12 are added to, and the grain finishes.
  ConfigScope wide(48000, 52);
  start(grain, 0, 64, 1.0f);
  std::vector<float> frame(52, 0.0f);
  grain.synthesizeFromMonoToMono(frame.data());
  EXPECT_EQ(grain.remaining(), 12);
  std::fill(frame.begin(), frame.end(), -5.0f);
  grain.synthesizeFromMonoToMono(frame.data());
  for (int j = 0; j < 12; j++) EXPECT_NE(frame[j], -5.0f) << j;
  for (int j = 12; j < 52; j++) EXPECT_EQ(frame[j], -5.0f) << j;
  EXPECT_FALSE(grain.isActive());
  const std::vector<float> after = frame;
  grain.synthesizeFromMonoToMono(frame.data()); // finished: nothing more
  EXPECT_EQ(frame, after);
}

TEST(GrainSynthesis, SlowFastAndBackwardReads) {
  ConfigScope scope(48000, 16);
  HeldSample sample(1, 1000, 48000.0f, ramp);
  const float rect = 1000.0f; // squash far beyond the window: a flat top of exactly 1

  // Half speed: a new frame on every second output, the fraction alternating 0.5 and 0.
  MonoGrain slow;
  slow.setSample(sample.get());
  start(slow, 200, 512, 0.5f, 1.0f, 0.0f, Grain::kTrapezoid, 1);
  slow.setSquash(rect);
  std::vector<float> out(16, 0.0f);
  slow.synthesizeFromMonoToMono(out.data());
  EXPECT_EQ(slow.position(), 208);
  EXPECT_EQ(slow.fraction(), 0.0f);
  std::fill(out.begin(), out.end(), 0.0f);
  slow.synthesizeFromMonoToMono(out.data());
  for (int j = 0; j < 16; j++) EXPECT_NEAR(out[j], 0.01f * (206.0f + 0.5f * (float)(j + 1)), 1e-5f) << j;

  // Ten times the speed moves ten frames per output and reads the last three of them.
  MonoGrain fast;
  fast.setSample(sample.get());
  start(fast, 100, 512, 10.0f, 1.0f, 0.0f, Grain::kTrapezoid, 1);
  fast.setSquash(rect);
  std::fill(out.begin(), out.end(), 0.0f);
  fast.synthesizeFromMonoToMono(out.data());
  EXPECT_EQ(fast.position(), 260);
  for (int j = 1; j < 16; j++) EXPECT_EQ(out[j], sample.at(100 + 10 * j + 8)) << j;

  // Backwards through the region (10, 20), wrapping from its first frame to its last.
  MonoGrain back;
  back.setSample(sample.get());
  back.setRegion(10, 20);
  start(back, 12, 512, -1.0f, 1.0f, 0.0f, Grain::kTrapezoid, 1);
  back.setSquash(rect);
  std::fill(out.begin(), out.end(), 0.0f);
  back.synthesizeFromMonoToMono(out.data());
  const int expected[6] = {12, 11, 10, 29, 28, 27};
  for (int j = 1; j <= 6; j++) EXPECT_EQ(out[j], sample.at(expected[j - 1])) << j;
  EXPECT_LT(back.fraction(), 0.00001f);

  // Any speed the head could hand over stays finite and inside the region.
  for (float speed : {1e30f, -1e30f, NAN, 3e9f}) {
    MonoGrain wild;
    wild.setSample(sample.get());
    wild.setRegion(500, 300);
    start(wild, 600, 256, speed);
    std::fill(out.begin(), out.end(), 0.0f);
    for (int f = 0; f < 4; f++) wild.synthesizeFromMonoToMono(out.data());
    for (float v : out) EXPECT_TRUE(std::isfinite(v)) << speed;
    EXPECT_GE(wild.position(), 499);
    EXPECT_LE(wild.position(), 800);
  }
}

TEST(GrainSynthesis, ChannelLayouts) {
  ConfigScope scope(48000, 64);
  HeldSample stereo(2, 500, 48000.0f, [](int i, int c) { return c == 0 ? 0.01f * (float)i : -0.5f + 0.002f * (float)i; });
  const std::vector<float> env = twinEnvelope(stereo.get(), 40, 128, 1.0f);

  // The mono grain of a stereo sample plays the channel mean.
  MonoGrain mixed;
  mixed.setSample(stereo.get());
  start(mixed, 40, 128, 1.0f, 0.5f);
  std::vector<float> out(64, 0.0f);
  mixed.synthesizeFromStereo(out.data());
  for (int j = 1; j < 64; j++) {
    const float mean = (stereo.at(40 + j - 1, 0) + stereo.at(40 + j - 1, 1)) * 0.5f;
    ASSERT_EQ(out[j], 0.5f * (env[j] * mean)) << j;
  }

  // The stereo grain keeps the channels apart and pans with its two gains.
  StereoGrain both;
  both.setSample(stereo.get());
  start(both, 40, 128, 1.0f, 0.5f, 0.5f);
  std::vector<float> left(64, 0.0f), right(64, 0.0f);
  both.synthesize(left.data(), right.data());
  for (int j = 1; j < 64; j++) {
    ASSERT_EQ(left[j], 0.25f * (env[j] * stereo.at(40 + j - 1, 0))) << j;
    ASSERT_EQ(right[j], 0.5f * (env[j] * stereo.at(40 + j - 1, 1))) << j;
  }

  // A mono sample to two outputs: the same signal, half gain on the left at pan 0.5.
  HeldSample mono(1, 500, 48000.0f, ramp);
  MonoGrain spread;
  spread.setSample(mono.get());
  start(spread, 40, 128, 1.0f, 1.0f, 0.5f);
  std::fill(left.begin(), left.end(), 0.0f);
  std::fill(right.begin(), right.end(), 0.0f);
  spread.synthesizeFromMonoToStereo(left.data(), right.data());
  for (int j = 1; j < 64; j++) {
    ASSERT_GT(right[j], 0.0f);
    ASSERT_EQ(left[j], 0.5f * (env[j] * mono.at(40 + j - 1))) << j;
    ASSERT_EQ(right[j], env[j] * mono.at(40 + j - 1)) << j;
  }
}

TEST(GrainSynthesis, AddsIntoTheOutputsAndKeepsHistoryAcrossGrains) {
  ConfigScope scope(48000, 64);
  HeldSample sample(1, 500, 48000.0f, [](int, int) { return 0.5f; });
  MonoGrain grain;
  grain.setSample(sample.get());
  start(grain, 0, 64, 1.0f, 1.0f, 0.0f, Grain::kHanning);
  std::vector<float> out(64, 2.0f);
  grain.synthesizeFromMonoToMono(out.data());
  EXPECT_EQ(out[0], 2.0f); // zero history times the window
  EXPECT_GT(out[20], 2.0f);
  EXPECT_FALSE(grain.isActive());
  // The next grain of this object starts from the values it read last: its first output is
  // the old previous value under the new window.
  start(grain, 0, 64, 0.0f, 1.0f, 0.0f, Grain::kHanning);
  std::fill(out.begin(), out.end(), 0.0f);
  grain.synthesizeFromMonoToMono(out.data());
  EXPECT_GT(out[0], 0.0f);
  EXPECT_NEAR(out[31], 0.5f, 1e-6f); // speed 0: the held value under the window's peak
}

// A plain model of a grain's read: one output at a time, every frame index wrapped into the
// region, the last three frames read kept as history, interpolated as the quadratic through them.
struct PlainWalk {
  const od::Sample *sample;
  int regionStart, regionLength;
  double position; // kept exact in a double (integer values only)
  float fraction = 0.0f, step;
  float newest[2] = {0, 0}, previous[2] = {0, 0}, oldest[2] = {0, 0};

  int wrap(long long index) const {
    long long r = (index - regionStart) % regionLength;
    return regionStart + (int)(r < 0 ? r + regionLength : r);
  }
  void read(int p) {
    for (int c = 0; c < sample->channels() && c < 2; c++) {
      oldest[c] = previous[c];
      previous[c] = newest[c];
      newest[c] = sample->data()[(long long)p * sample->channels() + c];
    }
  }
  // The interpolated value of channel c after moving by one output.
  void next() {
    const float t = step + fraction;
    int n = (int)t;
    fraction = t - (float)n;
    const int direction = n > 0 ? 1 : -1;
    if (n * direction > 3) {
      position = wrap((long long)position + n - 3 * direction);
      n = 3 * direction;
    }
    for (; n != 0; n -= direction) {
      const int p = wrap((long long)position);
      read(p);
      position = p + direction;
    }
  }
  float value(int c) const {
    const float x = std::fabs(fraction);
    const float slope = (newest[c] - oldest[c]) * 0.5f;
    const float curve = (newest[c] + oldest[c]) * 0.5f - previous[c];
    return previous[c] + x * (slope + x * curve);
  }
};

TEST(GrainSynthesis, MatchesAPlainWalkAcrossWrapsSkipsAndBothDirections) {
  ConfigScope scope(48000, 128);
  HeldSample mono(1, 3000, 48000.0f, [](int i, int) { return std::sin(0.37f * (float)i) + 0.001f * (float)i; });
  HeldSample stereo(2, 3000, 48000.0f, [](int i, int c) { return std::sin(0.29f * (float)i * (float)(c + 1)) - 0.3f * (float)c; });
  const float rect = 1000.0f; // a flat window of exactly 1 between one-sample ramps
  // Regions small enough that grains wrap many times, starts near their ends, speeds that
  // read one frame, skip frames, stand still or run backwards, some of them changing direction
  // of rounding from frame to frame.
  struct Case {
    int regionStart, regionLength, position;
    float speed;
  };
  const Case cases[] = {{100, 700, 690, 1.0f},   {100, 700, 105, -1.0f},  {0, 3000, 2900, 1.37f},
                        {500, 400, 880, 2.6f},   {500, 400, 510, -2.6f},  {0, 3000, 1500, 0.31f},
                        {1000, 90, 1080, 7.25f}, {1000, 90, 1003, -5.5f}, {20, 2000, 1000, -0.77f},
                        {0, 3000, 2990, 3.0f},   {200, 5, 202, 1.5f},     {0, 3000, 7, -3.9f}};
  const auto check = [&](const Case &k, int layout) {
    const od::Sample *source = layout == 0 ? mono.get() : stereo.get();
    PlainWalk walk{source, k.regionStart, k.regionLength, (double)k.position, 0.0f, k.speed};
    MonoGrain monoGrain;
    StereoGrain stereoGrain;
    Grain &grain = layout == 2 ? static_cast<Grain &>(stereoGrain) : monoGrain;
    grain.setSample(layout == 0 ? mono.get() : stereo.get());
    grain.setRegion(k.regionStart, k.regionLength);
    start(grain, k.position, 1024, k.speed, 1.0f, 0.0f, Grain::kTrapezoid, 1);
    grain.setSquash(rect);
    const std::vector<float> env = twinEnvelope(layout == 0 ? mono.get() : stereo.get(), k.position, 1024, k.speed,
                                                Grain::kTrapezoid, 1, rect);
    std::vector<float> left(128), right(128);
    for (int frame = 0; frame < 8; frame++) {
      std::fill(left.begin(), left.end(), 0.0f);
      std::fill(right.begin(), right.end(), 0.0f);
      if (layout == 0) monoGrain.synthesizeFromMonoToMono(left.data());
      else if (layout == 1) monoGrain.synthesizeFromStereo(left.data());
      else stereoGrain.synthesize(left.data(), right.data());
      for (int j = 0; j < 128; j++) {
        walk.next();
        const float shape = env[frame * 128 + j];
        float expected = walk.value(0);
        if (layout == 1) {
          // The mono grain of a stereo sample reads the channel mean as one signal.
          PlainWalk meanWalk = walk;
          for (float *h : {meanWalk.newest, meanWalk.previous, meanWalk.oldest}) h[0] = (h[0] + h[1]) * 0.5f;
          expected = meanWalk.value(0);
        }
        ASSERT_EQ(left[j], 1.0f * (shape * expected))
            << "speed " << k.speed << " from " << k.position << " layout " << layout << " at " << frame * 128 + j;
        if (layout == 2) {
          ASSERT_EQ(right[j], 1.0f * (shape * walk.value(1))) << k.speed << " at " << frame * 128 + j;
        }
      }
    }
    ASSERT_EQ(grain.position(), (int)walk.position) << k.speed;
  };
  for (const Case &k : cases)
    for (int layout = 0; layout < 3; layout++) check(k, layout);
  // Every start near a region's end (or its start, backwards), so that wraps fall on every
  // output of a frame, right before and after wherever the grains change how they read.
  for (float speed : {1.0f, -1.0f, 0.999f, -0.999f, 2.5f, -3.7f})
    for (int offset = 0; offset < 140; offset++) {
      const int position = speed > 0.0f ? 1300 - offset : 300 + offset;
      check({300, 1000, position, speed}, 0);
      check({300, 1000, position, speed}, 2);
    }
}

TEST(GrainSynthesis, SharedSineWindowGivesEveryGrainTheWindowItWouldComputeAlone) {
  ConfigScope scope(48000, 128);
  HeldSample sample(1, 30000, 48000.0f, [](int i, int) { return 0.5f + 0.25f * std::sin(0.01f * (float)i); });
  auto table = std::make_unique<morpho::SineWindowTable>();
  auto longTable = std::make_unique<morpho::SineWindowTable>();
  // Grains sharing a table against twins computing alone, started at different frames: B
  // follows A through the table, C takes the table over with another duration (A and B go on
  // alone), D takes it back; E is longer than the table holds.
  struct Voice {
    int startFrame, size;
    morpho::SineWindowTable *table;
    MonoGrain shared, alone;
  };
  Voice voices[] = {{0, 1000, table.get(), {}, {}},  {2, 1000, table.get(), {}, {}},
                    {3, 520, table.get(), {}, {}},   {4, 1000, table.get(), {}, {}},
                    {0, 12000, longTable.get(), {}, {}}};
  for (Voice &v : voices) {
    v.shared.shareSineWindow(v.table);
    for (MonoGrain *g : {&v.shared, &v.alone}) {
      g->setSample(sample.get());
      g->setSquash(0.0f);
    }
  }
  std::vector<float> a(128), b(128);
  int compared = 0;
  for (int frame = 0; frame < 80; frame++) {
    for (Voice &v : voices) {
      if (frame == v.startFrame) {
        for (MonoGrain *g : {&v.shared, &v.alone}) {
          g->init(100 + 37 * v.startFrame, v.size, 1.0f, 0.8f, 0.0f);
          g->setEnvelope(Grain::kSine);
        }
      }
      if (frame < v.startFrame) continue;
      std::fill(a.begin(), a.end(), 0.0f);
      std::fill(b.begin(), b.end(), 0.0f);
      v.shared.synthesizeFromMonoToMono(a.data());
      v.alone.synthesizeFromMonoToMono(b.data());
      for (int j = 0; j < 128; j++) ASSERT_EQ(a[j], b[j]) << "grain of " << v.size << " at " << frame * 128 + j;
      compared++;
    }
  }
  EXPECT_EQ(table->duration, 1000); // D took the table back from C
  EXPECT_GT(longTable->filled, 0);
  EXPECT_GE(compared, 5 * 70);
  EXPECT_TRUE(voices[4].shared.isActive()); // E is still sounding past the table's end
}

// Grains rendered as a group walk their straight stretches side by side; what the group adds
// must be, to the bit, what its grains add one after another, in every layout, with grains
// starting, ending, wrapping and reversing inside the frames.
TEST(GrainSynthesis, AGroupAddsWhatItsGrainsAddOneByOne) {
  ConfigScope scope(48000, 128);
  const auto wave = [](int i, int c) { return std::sin(0.013f * (float)i * (float)(c + 1)) + 0.001f * (float)i; };
  HeldSample mono(1, 6000, 48000.0f, wave), stereo(2, 6000, 48000.0f, wave);
  struct Setup {
    int regionStart, regionLength, position, size, delay;
    float speed, pan;
  };
  const Setup setups[] = {{0, 6000, 1000, 900, 0, 1.37f, 0.0f},    {0, 6000, 4000, 1400, 8, -2.6f, 0.4f},
                          {0, 6000, 2500, 700, 64, 0.31f, -0.3f},  {300, 500, 700, 1300, 0, 3.0f, 0.0f},
                          {0, 6000, 5000, 1100, 120, -0.77f, 0.9f}, {0, 6000, 100, 600, 40, 7.25f, -1.0f},
                          {0, 6000, 3000, 1600, 0, 1.0f, 0.2f}};
  constexpr int kGrains = sizeof setups / sizeof setups[0];
  for (int layout = 0; layout < 4; layout++) {
    od::Sample *sample = layout < 2 ? mono.get() : stereo.get();
    MonoGrain monoGroup[kGrains], monoAlone[kGrains];
    StereoGrain stereoGroup[kGrains], stereoAlone[kGrains];
    MonoGrain *monoList[kGrains];
    StereoGrain *stereoList[kGrains];
    for (int g = 0; g < kGrains; g++) {
      const Setup &k = setups[g];
      monoList[g] = &monoGroup[g];
      stereoList[g] = &stereoGroup[g];
      for (Grain *grain : {(Grain *)&monoGroup[g], (Grain *)&monoAlone[g], (Grain *)&stereoGroup[g], (Grain *)&stereoAlone[g]}) {
        grain->setSample(sample);
        grain->setRegion(k.regionStart, k.regionLength);
        start(*grain, k.position, k.size, k.speed, 0.8f, k.pan, Grain::kTrapezoid, 100);
        grain->setDelay(k.delay);
      }
    }
    std::vector<float> left(128), right(128), expectedLeft(128), expectedRight(128);
    for (int frame = 0; frame < 13; frame++) {
      for (std::vector<float> *v : {&left, &right, &expectedLeft, &expectedRight}) std::fill(v->begin(), v->end(), 0.0f);
      // In frame 2 the scratch pool has one frame left: the grains take turns with it.
      std::vector<float *> held;
      if (frame == 2) {
        while (float *f = od::AudioThread::getFrame()) held.push_back(f);
        od::AudioThread::releaseFrame(held.back());
        held.pop_back();
      }
      if (layout == 0) MonoGrain::synthesizeFromMonoToMono(monoList, kGrains, left.data());
      else if (layout == 1) MonoGrain::synthesizeFromMonoToStereo(monoList, kGrains, left.data(), right.data());
      else if (layout == 2) MonoGrain::synthesizeFromStereo(monoList, kGrains, left.data());
      else StereoGrain::synthesize(stereoList, kGrains, left.data(), right.data());
      for (int g = 0; g < kGrains; g++) {
        if (layout == 0) monoAlone[g].synthesizeFromMonoToMono(expectedLeft.data());
        else if (layout == 1) monoAlone[g].synthesizeFromMonoToStereo(expectedLeft.data(), expectedRight.data());
        else if (layout == 2) monoAlone[g].synthesizeFromStereo(expectedLeft.data());
        else stereoAlone[g].synthesize(expectedLeft.data(), expectedRight.data());
      }
      for (float *f : held) od::AudioThread::releaseFrame(f);
      ASSERT_EQ(0, std::memcmp(left.data(), expectedLeft.data(), 128 * sizeof(float))) << layout << " frame " << frame;
      ASSERT_EQ(0, std::memcmp(right.data(), expectedRight.data(), 128 * sizeof(float))) << layout << " frame " << frame;
      int sounding = 0;
      for (int g = 0; g < kGrains; g++) sounding += layout < 3 ? monoGroup[g].isActive() : stereoGroup[g].isActive();
      if (frame == 3) {
        EXPECT_EQ(sounding, kGrains) << layout; // every grain sounds through frame 3
      }
    }
    EXPECT_NE(expectedLeft[0], 0.0f) << layout; // the grains sounded through frame 12 too
  }
}

} // namespace
