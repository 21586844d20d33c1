#include "units/delay/TapDelay.h"

#include "support/Harness.h"
#include "support/Stream.h"
#include "support/UnitRegistry.h"

#include <od/BigHeap.h>
#include <dsp/DelayLine.h>
#include <dsp/Saturator.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

QVZ_REGISTER_UNIT("TapDelay", [] { return new TapDelay(); }, 1.5f);
QVZ_REGISTER_UNIT("TapDelayStereoMixer", [] { return new TapDelayStereoMixer(); });

namespace {

using qvztest::ConfigScope;
using qvztest::constant;
using qvztest::Held;
using qvztest::impulseAt;
using qvztest::Stream;

// A deterministic noise-like input.
float wobble(long i) { return 0.5f * sinf(0.01f * (float)i) + 0.3f * sinf(0.37f * (float)i + 1.0f); }

// The sample index of the largest magnitude in [from, to).
long peakIndex(const std::vector<float> &v, long from, long to) {
  long best = from;
  for (long i = from; i < to; i++)
    if (std::fabs(v[i]) > std::fabs(v[best])) best = i;
  return best;
}

TEST(TapDelay, RegistersPortsInOrderAndSizesItsLine) {
  ConfigScope scope(48000, 128);
  const size_t before = od::BigHeap::inUse();
  Held<TapDelay> tap;
  const char *inputs[] = {"In", "Time", "Feedback", "Reverse", "Blend", "Pitch1", "Pitch2",
                          "Pitch3", "Pitch4", "Level1", "Level2", "Level3", "Level4"};
  const char *outputs[] = {"Out", "Tap1", "Tap2", "Tap3", "Tap4"};
  ASSERT_EQ(tap->inputCount(), 13);
  ASSERT_EQ(tap->outputCount(), 5);
  for (int k = 0; k < 13; k++) EXPECT_EQ(tap->getInput(k)->name(), inputs[k]);
  for (int k = 0; k < 5; k++) EXPECT_EQ(tap->getOutput(k)->name(), outputs[k]);
  // 2.1 s at 48 kHz plus 8 samples of margin, and the guard that mirrors the line's start.
  EXPECT_EQ(tap->bufferLength(), 100808);
  EXPECT_EQ(od::BigHeap::inUse() - before, (100808u + dsp::kLineGuard) * 4u);
}

TEST(TapDelay, UnitRatioTapsAreFixedEchoesWithWindowGains) {
  ConfigScope scope(48000, 128);
  Held<TapDelay> tap;
  Stream stream(*tap);
  stream.drive(tap->mIn, impulseAt(0));
  tap->mTime.setConstant(0.15f); // D = 7200 samples, the starting spacing
  for (od::Inlet *p : {&tap->mPitch1, &tap->mPitch2, &tap->mPitch3, &tap->mPitch4}) p->setConstant(1.0f);
  const std::vector<float> *taps[4] = {&stream.record(tap->mTap1), &stream.record(tap->mTap2),
                                       &stream.record(tap->mTap3), &stream.record(tap->mTap4)};
  stream.run(33000);
  const float g = 12.0f / 17.0f; // B(0.25)
  // Tap 1 (phase 0): one echo at D + 1 + W/2; tap 2 (phase 0.25): 2D + 1 + W/4 and 2D + 1 + 3W/4;
  // tap 3 (phase 0.5): 3D + 1 + W/2; tap 4 (phase 0.75): 4D + 1 + W/4 and 4D + 1 + 3W/4.
  struct Echo {
    int tap;
    long at;
    float gain;
  };
  const Echo echoes[] = {{0, 9601, 1.0f},  {1, 15601, g}, {1, 18001, g},
                         {2, 24001, 1.0f}, {3, 30001, g}, {3, 32401, g}};
  for (const Echo &e : echoes) {
    const std::vector<float> &v = *taps[e.tap];
    EXPECT_EQ(peakIndex(v, e.at - 500, std::min(e.at + 500, 33000L)), e.at) << "tap " << e.tap + 1;
    EXPECT_NEAR(v[e.at], e.gain, 1e-3f) << "tap " << e.tap + 1 << " at " << e.at;
  }
  // Nothing else comes out of tap 1 before or between.
  for (long i = 0; i < 9600; i++) ASSERT_EQ((*taps[0])[i], 0.0f) << i;
  float energy = 0.0f;
  for (long i = 0; i < 33000; i++) energy += (*taps[1])[i] * (*taps[1])[i];
  EXPECT_NEAR(energy, 2.0f * g * g, 2e-3f);
}

TEST(TapDelay, MissingLinePassesInputAndSilencesTaps) {
  od::BigHeap::refuseNth(1);
  Held<TapDelay> tap;
  od::BigHeap::refuseNth(0);
  EXPECT_FALSE(tap->hasBuffer());
  Stream stream(*tap);
  stream.drive(tap->mIn, wobble);
  tap->mBlend.setConstant(1.0f);
  const auto &out = stream.record(tap->mOut);
  const auto &tap3 = stream.record(tap->mTap3);
  stream.run(512);
  for (long i = 0; i < 512; i++) {
    ASSERT_EQ(out[i], wobble(i));
    ASSERT_EQ(tap3[i], 0.0f);
  }
}

// Runs a TapDelay for 3000 samples with one control set to `value` and returns every outlet's samples.
std::vector<float> runWith(od::Inlet TapDelay::*control, float value) {
  Held<TapDelay> tap;
  Stream stream(*tap);
  stream.drive(tap->mIn, wobble);
  tap->mTime.setConstant(0.05f);
  tap->mFeedback.setConstant(0.5f);
  tap->mPitch2.setConstant(1.5f);
  tap->mPitch3.setConstant(-0.5f);
  tap->mLevel1.setConstant(1.0f);
  tap->mLevel4.setConstant(0.5f);
  tap->mBlend.setConstant(0.5f);
  ((*tap).*control).setConstant(value);
  std::vector<const std::vector<float> *> outs;
  for (od::Outlet *o : {&tap->mOut, &tap->mTap1, &tap->mTap2, &tap->mTap3, &tap->mTap4}) outs.push_back(&stream.record(*o));
  stream.run(3000);
  std::vector<float> all;
  for (auto *o : outs) all.insert(all.end(), o->begin(), o->end());
  return all;
}

TEST(TapDelay, ControlsOutsideTheirRangeActAsTheNearestLimit) {
  ConfigScope scope(8000, 64); // short times reach the line quickly
  EXPECT_EQ(runWith(&TapDelay::mTime, 3.0f), runWith(&TapDelay::mTime, 0.5f));
  EXPECT_EQ(runWith(&TapDelay::mTime, NAN), runWith(&TapDelay::mTime, 0.5f));
  EXPECT_EQ(runWith(&TapDelay::mTime, -1.0f), runWith(&TapDelay::mTime, 0.02f));
  EXPECT_NE(runWith(&TapDelay::mTime, 0.02f), runWith(&TapDelay::mTime, 0.05f));
  EXPECT_EQ(runWith(&TapDelay::mPitch1, 9.0f), runWith(&TapDelay::mPitch1, 4.0f));
  EXPECT_EQ(runWith(&TapDelay::mPitch1, NAN), runWith(&TapDelay::mPitch1, 4.0f));
  EXPECT_EQ(runWith(&TapDelay::mPitch1, -1e30f), runWith(&TapDelay::mPitch1, -4.0f));
  EXPECT_EQ(runWith(&TapDelay::mFeedback, 2.0f), runWith(&TapDelay::mFeedback, 0.95f));
  EXPECT_EQ(runWith(&TapDelay::mFeedback, NAN), runWith(&TapDelay::mFeedback, 0.95f));
  EXPECT_EQ(runWith(&TapDelay::mFeedback, -0.5f), runWith(&TapDelay::mFeedback, 0.0f));
  EXPECT_NE(runWith(&TapDelay::mFeedback, 0.0f), runWith(&TapDelay::mFeedback, 0.95f));
  EXPECT_EQ(runWith(&TapDelay::mBlend, NAN), runWith(&TapDelay::mBlend, 1.0f));
  EXPECT_EQ(runWith(&TapDelay::mBlend, 7.0f), runWith(&TapDelay::mBlend, 1.0f));
}

TEST(TapDelay, BlendCrossfadesDryAndLevelWeightedTaps) {
  for (float blend : {0.0f, 1.0f}) {
    Held<TapDelay> tap;
    Stream stream(*tap);
    stream.drive(tap->mIn, wobble);
    tap->mTime.setConstant(0.02f);
    tap->mBlend.setConstant(blend);
    const float levels[4] = {0.5f, -1.0f, 0.25f, 2.0f};
    od::Inlet *levelIn[4] = {&tap->mLevel1, &tap->mLevel2, &tap->mLevel3, &tap->mLevel4};
    for (int k = 0; k < 4; k++) levelIn[k]->setConstant(levels[k]);
    const auto &out = stream.record(tap->mOut);
    const std::vector<float> *taps[4] = {&stream.record(tap->mTap1), &stream.record(tap->mTap2),
                                         &stream.record(tap->mTap3), &stream.record(tap->mTap4)};
    stream.run(24000);
    for (long i = 0; i < 24000; i += 7) {
      if (blend == 0.0f) {
        ASSERT_EQ(out[i], wobble(i)) << i;
      } else {
        float mix = 0.0f;
        for (int k = 0; k < 4; k++) mix += (*taps[k])[i] * levels[k];
        ASSERT_NEAR(out[i], mix, 1e-6f) << i;
      }
    }
  }
}

TEST(TapDelay, ReverseNegatesEveryRatio) {
  ConfigScope scope(8000, 64);
  auto run = [](float pitch, float reverse) {
    Held<TapDelay> tap;
    Stream stream(*tap);
    stream.drive(tap->mIn, wobble);
    for (od::Inlet *p : {&tap->mPitch1, &tap->mPitch2, &tap->mPitch3, &tap->mPitch4}) p->setConstant(pitch);
    tap->mReverse.setConstant(reverse);
    const auto &out = stream.record(tap->mTap2);
    stream.run(4000);
    return out;
  };
  EXPECT_EQ(run(1.5f, 1.0f), run(-1.5f, 0.0f));
  EXPECT_EQ(run(1.5f, 0.5f), run(1.5f, 0.0f)); // 0.5 is not above the threshold
  EXPECT_NE(run(1.5f, 1.0f), run(1.5f, 0.0f));
}

// Zero crossings per second of the upward kind, a frequency estimate for a clean tone.
float crossingRate(const std::vector<float> &v, long from, long to, float sampleRate) {
  long first = -1, last = -1, count = 0;
  for (long i = from + 1; i < to; i++)
    if (v[i - 1] < 0.0f && v[i] >= 0.0f) {
      if (first < 0) first = i;
      last = i;
      count++;
    }
  return (float)(count - 1) * sampleRate / (float)(last - first);
}

TEST(TapDelay, RatioTwoTransposesAnOctaveUp) {
  ConfigScope scope(48000, 128);
  Held<TapDelay> tap;
  Stream stream(*tap);
  stream.drive(tap->mIn, [](long i) { return sinf(6.2831855f * 300.0f * (float)i / 48000.0f); });
  tap->mTime.setConstant(0.05f);
  tap->mPitch1.setConstant(2.0f);
  tap->mPitch2.setConstant(0.5f);
  const auto &up = stream.record(tap->mTap1);
  const auto &down = stream.record(tap->mTap2);
  stream.run(48000);
  EXPECT_NEAR(crossingRate(up, 12000, 48000, 48000.0f), 600.0f, 15.0f);
  EXPECT_NEAR(crossingRate(down, 12000, 48000, 48000.0f), 150.0f, 5.0f);
}

TEST(TapDelay, FedBackSignalIsBoundedBySaturator) {
  ConfigScope scope(48000, 128);
  Held<TapDelay> tap;
  Stream stream(*tap);
  stream.drive(tap->mIn, impulseAt(0, 100.0f));
  tap->mTime.setConstant(0.15f);
  tap->mFeedback.setConstant(0.95f);
  for (od::Inlet *p : {&tap->mPitch1, &tap->mPitch2, &tap->mPitch3, &tap->mPitch4}) p->setConstant(1.0f);
  const auto &tap1 = stream.record(tap->mTap1);
  stream.run(44000);
  EXPECT_NEAR(tap1[9601], 100.0f, 0.1f); // the first echo is the input itself
  // Tap 4's echoes at 30001 and 32401 return through the line, limited to the saturator's value at 1.7.
  const float ceiling = dsp::saturate(1.7f);
  const long second = peakIndex(tap1, 35000, 44000);
  EXPECT_EQ(second, 30001 + 9601);
  EXPECT_NEAR(std::fabs(tap1[second]), ceiling, 1e-3f);
  for (long i = 35000; i < 44000; i++) ASSERT_LE(std::fabs(tap1[i]), ceiling + 1e-4f) << i;
}

TEST(TapDelay, OddFrameLengthsContinueTheStream) {
  // "Out" over the first 2000 processed samples with frames of `frameLength`.
  auto firstSamples = [](int frameLength) {
    ConfigScope scope(8000, frameLength);
    Held<TapDelay> tap;
    Stream stream(*tap);
    stream.drive(tap->mIn, wobble);
    tap->mPitch1.setConstant(1.3f);
    tap->mLevel1.setConstant(1.0f);
    const auto &out = stream.record(tap->mOut);
    stream.run(3000);
    return std::vector<float>(out.begin(), out.begin() + 2000);
  };
  // A frame of 6 processes 4 samples, continuing the stream as frames of 4 do.
  EXPECT_EQ(firstSamples(6), firstSamples(4));
  // A frame below 4 processes none.
  ConfigScope scope(8000, 3);
  Held<TapDelay> tap;
  tap->mOut.buffer()[0] = 42.0f;
  qvztest::runFrame(*tap);
  EXPECT_EQ(tap->mOut.buffer()[0], 42.0f);
}

// --- TapDelayStereoMixer -------------------------------------------------------------

struct MixerRig {
  Held<TapDelayStereoMixer> mixer;
  od::Inlet *tapL[4] = {&mixer->mTap1L, &mixer->mTap2L, &mixer->mTap3L, &mixer->mTap4L};
  od::Inlet *tapR[4] = {&mixer->mTap1R, &mixer->mTap2R, &mixer->mTap3R, &mixer->mTap4R};
  od::Inlet *level[4] = {&mixer->mLevel1, &mixer->mLevel2, &mixer->mLevel3, &mixer->mLevel4};
  od::Inlet *pan[4] = {&mixer->mPan1, &mixer->mPan2, &mixer->mPan3, &mixer->mPan4};
  // Only tap k sounds, at left l and right r.
  void soloTap(int k, float l, float r, float lvl, float p) {
    for (int j = 0; j < 4; j++) {
      tapL[j]->setConstant(j == k ? l : 0.0f);
      tapR[j]->setConstant(j == k ? r : 0.0f);
      level[j]->setConstant(lvl);
      pan[j]->setConstant(p);
    }
  }
  std::pair<float, float> run() {
    qvztest::runFrame(*mixer);
    return {mixer->mOutL.buffer()[3], mixer->mOutR.buffer()[3]};
  }
};

TEST(TapDelayStereoMixer, RegistersPortsInOrder) {
  Held<TapDelayStereoMixer> mixer;
  const char *inputs[] = {"DryL",   "DryR",   "Tap1L",  "Tap1R",  "Tap2L", "Tap2R", "Tap3L",
                          "Tap3R",  "Tap4L",  "Tap4R",  "Level1", "Level2", "Level3", "Level4",
                          "Pan1",   "Pan2",   "Pan3",   "Pan4",   "Blend"};
  ASSERT_EQ(mixer->inputCount(), 19);
  for (int k = 0; k < 19; k++) EXPECT_EQ(mixer->getInput(k)->name(), inputs[k]);
  ASSERT_EQ(mixer->outputCount(), 2);
  EXPECT_EQ(mixer->getOutput(0)->name(), "OutL");
  EXPECT_EQ(mixer->getOutput(1)->name(), "OutR");
}

TEST(TapDelayStereoMixer, BalancePanAttenuatesOnlyTheOtherSide) {
  MixerRig rig;
  rig.mixer->mBlend.setConstant(1.0f);
  for (int k = 0; k < 4; k++) {
    rig.soloTap(k, 0.5f, 0.25f, 2.0f, 0.0f);
    EXPECT_EQ(rig.run(), std::make_pair(1.0f, 0.5f)) << "centre, tap " << k + 1;
    rig.soloTap(k, 0.5f, 0.25f, 2.0f, 1.0f);
    EXPECT_EQ(rig.run(), std::make_pair(0.0f, 0.5f)) << "right, tap " << k + 1;
    rig.soloTap(k, 0.5f, 0.25f, 2.0f, -0.5f);
    EXPECT_EQ(rig.run(), std::make_pair(1.0f, 0.25f)) << "half left, tap " << k + 1;
    rig.soloTap(k, 0.5f, 0.25f, 2.0f, -7.0f);
    EXPECT_EQ(rig.run(), std::make_pair(1.0f, 0.0f)) << "beyond left, tap " << k + 1;
    rig.soloTap(k, 0.5f, 0.25f, 2.0f, NAN);
    EXPECT_EQ(rig.run(), std::make_pair(0.0f, 0.5f)) << "NaN pan, tap " << k + 1;
    rig.soloTap(k, 0.5f, 0.25f, -1.0f, 0.0f);
    EXPECT_EQ(rig.run(), std::make_pair(-0.5f, -0.25f)) << "negative level, tap " << k + 1;
  }
}

TEST(TapDelayStereoMixer, BlendCrossfadesDryAndWetSums) {
  MixerRig rig;
  rig.mixer->mDryL.setConstant(0.75f);
  rig.mixer->mDryR.setConstant(-0.125f);
  for (int j = 0; j < 4; j++) {
    rig.tapL[j]->setConstant(0.125f * (float)(j + 1));
    rig.tapR[j]->setConstant(-0.25f);
    rig.level[j]->setConstant(1.0f);
  }
  rig.mixer->mBlend.setConstant(0.0f);
  EXPECT_EQ(rig.run(), std::make_pair(0.75f, -0.125f));
  rig.mixer->mBlend.setConstant(1.0f);
  EXPECT_EQ(rig.run(), std::make_pair(1.25f, -1.0f));
  rig.mixer->mBlend.setConstant(NAN);
  EXPECT_EQ(rig.run(), std::make_pair(1.25f, -1.0f));
  rig.mixer->mBlend.setConstant(0.5f);
  EXPECT_EQ(rig.run(), std::make_pair(1.0f, -0.5625f));
}

} // namespace
