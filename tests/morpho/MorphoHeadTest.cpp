#include "morpho/MorphoHead.h"

#include "morpho/SampleSupport.h"
#include "support/AllocationCounter.h"
#include "support/Harness.h"
#include "support/UnitRegistry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

namespace {

using morpho::Grain;
using morpho::MorphoHead;
using qvztest::ConfigScope;
using qvztest::Feeder;
using qvztest::Held;
using qvztest::HeldSample;
using qvztest::runFrame;

float tone(int frame, int channel) { return std::sin(0.05f * (float)frame * (float)(channel + 1)) * 0.8f; }

// A stereo head playing a short stereo phrase at the sample's own speed.
od::Object *makePlayingHead() {
  MorphoHead *head = new MorphoHead(2);
  od::Sample *sample = new od::Sample(2, 4800, 48000.0f);
  for (int i = 0; i < 4800; i++)
    for (int c = 0; c < 2; c++) sample->data()[i * 2 + c] = tone(i, c);
  head->setSample(sample); // the head and its grains now hold the only references
  head->mSpeed.setConstant(1.0f);
  head->mGeneSize.hardSet(0.02f);
  return head;
}

} // namespace

QVZ_REGISTER_UNIT("MorphoHead", makePlayingHead, -1.0f); // a player: it plays on without input

namespace {

// Runs frames and returns everything "Left Out" (and "Right Out") produced.
struct Render {
  std::vector<float> left, right;
};
Render render(MorphoHead &head, int frames) {
  Render r;
  for (int f = 0; f < frames; f++) {
    runFrame(head);
    r.left.insert(r.left.end(), head.mLeftOut.buffer(), head.mLeftOut.buffer() + globalConfig.frameLength);
    r.right.insert(r.right.end(), head.mRightOut.buffer(), head.mRightOut.buffer() + globalConfig.frameLength);
  }
  return r;
}

float peak(const std::vector<float> &v) {
  float p = 0.0f;
  for (float x : v) p = std::max(p, std::fabs(x));
  return p;
}

TEST(MorphoHead, PortsAndParametersInTheirOrderWithDefaults) {
  Held<MorphoHead> head(2);
  EXPECT_EQ(head->getInput(0)->name(), "Speed");
  EXPECT_EQ(head->getInput(1)->name(), "Trigger");
  EXPECT_EQ(head->getOutput(0)->name(), "Left Out");
  EXPECT_EQ(head->getOutput(1)->name(), "Right Out");
  const char *names[7] = {"Gene Size", "Slide", "Organize", "Morph", "Gain", "Squash", "Splices"};
  const float defaults[7] = {0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 8.0f};
  ASSERT_EQ(head->parameterCount(), 7);
  for (int i = 0; i < 7; i++) {
    EXPECT_EQ(head->getParameter(i)->name(), names[i]);
    EXPECT_EQ(head->getParameter(i)->value(), defaults[i]) << names[i];
  }
  EXPECT_EQ(head->inputCount(), 2);
  EXPECT_EQ(head->optionCount(), 0);
  EXPECT_EQ(head->freeMonoCount(), 16);
  EXPECT_EQ(head->freeStereoCount(), 16);
  EXPECT_FALSE(head->isReady());
}

// The start the head reports for a sample of `frames` frames after one frame.
int startFor(int frames, float splices, float organize, float slide) {
  HeldSample sample(1, frames, 48000.0f, tone);
  Held<MorphoHead> head(1);
  head->setSample(sample.get());
  head->mSplices.hardSet(splices);
  head->mOrganize.hardSet(organize);
  head->mSlide.hardSet(slide);
  runFrame(*head);
  return head->playPosition();
}

TEST(MorphoHead, SplicesOrganizeAndSlideChooseTheStart) {
  EXPECT_EQ(startFor(100, 32, 1, 0), 0);     // under 128 frames: one splice
  EXPECT_EQ(startFor(100, 32, 1, 1), 99);    // "Slide" 1: the splice's last frame
  EXPECT_EQ(startFor(1000, 32, 1, 0), 933);  // 15 splices (1000 / 64), the last starts at 14000 / 15
  EXPECT_EQ(startFor(1000, 32, 1, 1), 999);
  EXPECT_EQ(startFor(8000, 8, 1, 0), 7000);  // splice 7
  EXPECT_EQ(startFor(8000, 8, 0.5f, 0), 4000); // splice 4
  EXPECT_EQ(startFor(8000, 8, 0.5f, 0.5f), 4000 + 499);
  EXPECT_EQ(startFor(8000, 7.5f, 1, 0), 7000); // "Splices" rounds to the nearest count
  EXPECT_EQ(startFor(8000, 8, 0, 0.25f), 249);
  for (float wild : {NAN, -5.0f, -INFINITY}) EXPECT_EQ(startFor(8000, wild, 1, 0), 0) << wild;
  EXPECT_EQ(startFor(8000, 1e30f, 1, 0), 8000 - 250); // at most 32 splices
  EXPECT_EQ(startFor(8000, 8, INFINITY, INFINITY), 7999);
  EXPECT_EQ(startFor(8000, 8, NAN, NAN), 0);
}

// The first grain's duration and fade after one frame.
std::pair<int, int> geneFor(int frames, float splices, float geneSize, float morph = 0.0f) {
  HeldSample sample(1, frames, 48000.0f, tone);
  Held<MorphoHead> head(1);
  head->setSample(sample.get());
  head->mSplices.hardSet(splices);
  head->mGeneSize.hardSet(geneSize);
  head->mMorph.hardSet(morph);
  runFrame(*head);
  return {head->monoGrain(0).duration(), head->monoGrain(0).fade()};
}

TEST(MorphoHead, GeneLengthAndFade) {
  ConfigScope scope(48000, 128);
  EXPECT_EQ(geneFor(8000, 8, 0).first, 1000);       // the whole splice
  EXPECT_EQ(geneFor(8000, 8, -3).first, 1000);
  EXPECT_EQ(geneFor(8000, 8, 0.001f).first, 256);   // 48 samples raised to 256
  EXPECT_EQ(geneFor(8000, 8, 0.02f).first, 960);    // 0.02 * 48000 in float is exactly 960
  EXPECT_EQ(geneFor(8000, 8, 0.02f).second, 48);    // 5 % of the gene
  EXPECT_EQ(geneFor(8000, 8, 0.02f, 1.0f).second, 432); // 45 % at full morph
  EXPECT_EQ(geneFor(8000, 8, 0.003f).second, 32);   // ramps never shorter than 32
  EXPECT_EQ(geneFor(8000, 8, 5.0f).first, 1000);    // never longer than the splice
  EXPECT_EQ(geneFor(8000, 8, INFINITY).first, 1000);
  EXPECT_EQ(geneFor(8000, 8, NAN).first, 256);
  EXPECT_EQ(geneFor(1000, 8, 0.02f).first, 124);    // splice of 125 frames: shorter than 256
}

TEST(MorphoHead, GeneSetsRepeatEveryIntervalWithOneGrainAtMorphZero) {
  ConfigScope scope(48000, 128);
  HeldSample sample(1, 96000, 48000.0f, tone);
  Held<MorphoHead> head(1);
  head->setSample(sample.get());
  head->mSplices.hardSet(1);
  head->mGeneSize.hardSet(1.0f);
  head->mSpeed.setConstant(1.0f);
  runFrame(*head);
  EXPECT_EQ(head->freeMonoCount(), 15);
  EXPECT_EQ(head->monoGrain(0).duration(), 48000);
  EXPECT_EQ(head->monoGrain(0).fade(), 2400);
  EXPECT_EQ(head->monoGrain(0).envelope(), Grain::kTrapezoid);
  for (int f = 1; f < 356; f++) runFrame(*head);
  EXPECT_EQ(head->freeMonoCount(), 15); // interval 45600 not reached by sample 45567
  runFrame(*head);                      // samples 45568 .. 45695
  EXPECT_EQ(head->freeMonoCount(), 14);
  EXPECT_EQ(head->monoGrain(1).remaining(), 48000 - (128 - 32));
  EXPECT_EQ(head->monoGrain(0).remaining(), 48000 - 357 * 128);
}

TEST(MorphoHead, MorphAddsOctaveLayersOnAlternatingSides) {
  ConfigScope scope(48000, 128);
  HeldSample sample(1, 48000, 48000.0f, tone);
  Held<MorphoHead> head(2);
  head->setSample(sample.get());
  head->mSplices.hardSet(1);
  head->mGeneSize.hardSet(0.5f);
  head->mMorph.hardSet(1.0f);
  head->mGain.hardSet(2.0f);
  head->mSquash.hardSet(1.5f);
  head->mSpeed.setConstant(0.5f);
  runFrame(*head);
  ASSERT_EQ(head->freeMonoCount(), 13);
  const double g = 2.0 / std::sqrt(1.52);
  const Grain &base = head->monoGrain(0), &octave = head->monoGrain(1), &twoOctaves = head->monoGrain(2);
  EXPECT_NEAR(base.gainLeft(), g, 1e-6);
  EXPECT_NEAR(base.gainRight(), g, 1e-6);
  EXPECT_EQ(base.step(), 0.5f);
  EXPECT_EQ(base.squash(), 1.5f);
  EXPECT_NEAR(octave.gainLeft(), 0.6 * g, 1e-6); // pan -0.4: left
  EXPECT_NEAR(octave.gainRight(), 0.6 * g * 0.6, 1e-6);
  EXPECT_EQ(octave.step(), 1.0f);
  EXPECT_EQ(octave.envelope(), Grain::kSine);
  EXPECT_EQ(octave.fade(), 0);
  EXPECT_EQ(octave.squash(), 1.5f);
  EXPECT_NEAR(twoOctaves.gainRight(), 0.4 * g, 1e-6); // pan 0.5: right
  EXPECT_NEAR(twoOctaves.gainLeft(), 0.4 * g * 0.5, 1e-6);
  EXPECT_EQ(twoOctaves.step(), 2.0f);

  // The next set (a rising edge) puts the layers on the other sides.
  Feeder feeder;
  float *trigger = feeder.feed(head->mTrigger);
  trigger[0] = 1.0f;
  runFrame(*head);
  ASSERT_EQ(head->freeMonoCount(), 10);
  EXPECT_NEAR(head->monoGrain(4).gainRight(), 0.6 * g, 1e-6);
  EXPECT_NEAR(head->monoGrain(4).gainLeft(), 0.6 * g * 0.6, 1e-6);
  EXPECT_NEAR(head->monoGrain(5).gainLeft(), 0.4 * g, 1e-6);
  EXPECT_NEAR(head->monoGrain(5).gainRight(), 0.4 * g * 0.5, 1e-6);
}

TEST(MorphoHead, LayerCountFollowsMorph) {
  for (auto [morph, grains] : {std::pair{0.0f, 1}, std::pair{0.45f, 1}, std::pair{0.5f, 2}, std::pair{0.8f, 2},
                               std::pair{0.81f, 3}, std::pair{7.0f, 3}, std::pair{NAN, 1}}) {
    HeldSample sample(1, 48000, 48000.0f, tone);
    Held<MorphoHead> head(1);
    head->setSample(sample.get());
    head->mMorph.hardSet(morph);
    runFrame(*head);
    EXPECT_EQ(16 - head->freeMonoCount(), grains) << "morph " << morph;
  }
}

TEST(MorphoHead, TriggerEdgesRestartTheTrain) {
  ConfigScope scope(48000, 128);
  HeldSample sample(1, 48000, 48000.0f, tone);
  // A steady trigger is the same as none after its first sample.
  Held<MorphoHead> steady(1), free(1);
  for (MorphoHead *head : {steady.object, free.object}) {
    head->setSample(sample.get());
    head->mGeneSize.hardSet(0.01f);
    head->mSpeed.setConstant(1.0f);
  }
  steady->mTrigger.setConstant(1.0f);
  const Render a = render(*steady, 20), b = render(*free, 20);
  EXPECT_EQ(a.left, b.left);
  EXPECT_GT(peak(a.left), 0.1f);

  // A rising edge starts a set at its sample, rounded down to its block of four.
  Held<MorphoHead> head(1);
  head->setSample(sample.get());
  head->mGeneSize.hardSet(0.1f); // 4800 samples
  Feeder feeder;
  float *trigger = feeder.feed(head->mTrigger);
  float *speed = feeder.feed(head->mSpeed);
  for (int i = 0; i < 128; i++) speed[i] = 1.0f;
  runFrame(*head);
  ASSERT_EQ(head->freeMonoCount(), 15);
  for (int i = 0; i < 128; i++) {
    trigger[i] = i >= 50 ? 1.0f : 0.0f;
    speed[i] = i == 50 ? -2.0f : 3.0f; // the speed is taken at the set's first sample
  }
  runFrame(*head);
  ASSERT_EQ(head->freeMonoCount(), 14);
  EXPECT_EQ(head->monoGrain(1).remaining(), 4800 - (128 - 48));
  EXPECT_EQ(head->monoGrain(1).step(), -2.0f);
  EXPECT_EQ(head->monoGrain(0).step(), 1.0f);
  for (int i = 0; i < 128; i++) trigger[i] = 1.0f;
  runFrame(*head); // still high: no new set
  EXPECT_EQ(head->freeMonoCount(), 14);
}

TEST(MorphoHead, ANewSampleStartsAfreshAtTheNextFrame) {
  ConfigScope scope(48000, 128);
  HeldSample first(1, 48000, 48000.0f, tone), second(1, 20000, 44100.0f, tone);
  Held<MorphoHead> head(1);
  head->mGeneSize.hardSet(0.01f);
  head->mSpeed.setConstant(1.0f);
  head->setSample(first.get());
  for (int f = 0; f < 10; f++) runFrame(*head);
  EXPECT_EQ(head->freeMonoCount(), 15);
  // Sets at 0, 448 and 896: grain 0 finished at 480, went back on top and plays the third.
  EXPECT_TRUE(head->monoGrain(0).isActive());
  EXPECT_FALSE(head->monoGrain(1).isActive());
  head->setSample(second.get());
  EXPECT_EQ(head->freeMonoCount(), 16);
  runFrame(*head);
  EXPECT_EQ(head->freeMonoCount(), 15);
  EXPECT_EQ(head->monoGrain(0).remaining(), 480 - 128);
  EXPECT_EQ(head->monoGrain(0).sample(), second.get());
  EXPECT_EQ(head->monoGrain(0).step(), 44100.0f * (1.0f / 48000.0f));
}

TEST(MorphoHead, ChannelLayouts) {
  ConfigScope scope(48000, 64);
  HeldSample stereo(2, 9600, 48000.0f, tone);
  HeldSample left(1, 9600, 48000.0f, [&](int i, int) { return stereo.at(i, 0); });
  HeldSample right(1, 9600, 48000.0f, [&](int i, int) { return stereo.at(i, 1); });
  HeldSample mean(1, 9600, 48000.0f, [&](int i, int) { return (stereo.at(i, 0) + stereo.at(i, 1)) * 0.5f; });

  auto play = [](int channels, od::Sample *sample, float morph) {
    Held<MorphoHead> head(channels);
    head->setSample(sample);
    head->mGeneSize.hardSet(0.01f);
    head->mMorph.hardSet(morph);
    head->mSpeed.setConstant(1.0f);
    return render(*head, 40);
  };
  // A stereo head keeps the channels of a stereo sample apart.
  const Render both = play(2, stereo.get(), 0.3f);
  EXPECT_EQ(both.left, play(1, left.get(), 0.3f).left);
  EXPECT_EQ(both.right, play(1, right.get(), 0.3f).left);
  // A mono head plays a stereo sample's channel mean.
  EXPECT_EQ(play(1, stereo.get(), 0.3f).left, play(1, mean.get(), 0.3f).left);
  // A stereo head spreads a mono sample over both sides: equal at morph 0, apart with layers.
  const Render centred = play(2, left.get(), 0.0f);
  EXPECT_EQ(centred.left, centred.right);
  EXPECT_GT(peak(centred.left), 0.1f);
  const Render spread = play(2, left.get(), 1.0f);
  EXPECT_NE(spread.left, spread.right);

  // A one-channel head never touches "Right Out".
  Held<MorphoHead> mono(1);
  mono->setSample(stereo.get());
  mono->mSpeed.setConstant(1.0f);
  std::fill(mono->mRightOut.buffer(), mono->mRightOut.buffer() + 64, 3.0f);
  runFrame(*mono);
  runFrame(*mono);
  EXPECT_EQ(mono->mRightOut.buffer()[17], 3.0f);
  EXPECT_NE(mono->mLeftOut.buffer()[17], 0.0f);
}

TEST(MorphoHead, SilentWithoutAPlayableSample) {
  ConfigScope scope(48000, 32);
  HeldSample tiny(1, 63, 48000.0f, tone), wide(3, 5000, 48000.0f, [](int, int) { return 0.5f; });
  HeldSample good(1, 5000, 48000.0f, [](int, int) { return 0.5f; });
  for (od::Sample *sample : {(od::Sample *)nullptr, tiny.get(), wide.get()}) {
    Held<MorphoHead> head(2);
    head->mSpeed.setConstant(1.0f);
    std::fill(head->mLeftOut.buffer(), head->mLeftOut.buffer() + 32, 1.0f);
    std::fill(head->mRightOut.buffer(), head->mRightOut.buffer() + 32, 1.0f);
    head->setSample(sample);
    const Render r = render(*head, 10);
    EXPECT_EQ(peak(r.left), 0.0f);
    EXPECT_EQ(peak(r.right), 0.0f);
  }
  // Removing the sample silences the head at once and stops every grain.
  Held<MorphoHead> head(1);
  head->mSpeed.setConstant(1.0f);
  head->setSample(good.get());
  EXPECT_GT(peak(render(*head, 4).left), 0.1f);
  head->setSample(nullptr);
  EXPECT_FALSE(head->isReady());
  EXPECT_EQ(head->freeMonoCount(), 16);
  EXPECT_EQ(peak(render(*head, 4).left), 0.0f);
}

TEST(MorphoHead, ShortAndOddFrames) {
  HeldSample sample(1, 5000, 48000.0f, [](int, int) { return 0.5f; });
  {
    ConfigScope scope(48000, 3);
    Held<MorphoHead> head(2);
    head->setSample(sample.get());
    head->mSpeed.setConstant(1.0f);
    std::fill(head->mLeftOut.buffer(), head->mLeftOut.buffer() + 8, 1.0f);
    runFrame(*head);
    EXPECT_EQ(head->mLeftOut.buffer()[2], 0.0f);
    EXPECT_EQ(head->mLeftOut.buffer()[3], 1.0f); // beyond the frame: untouched
    EXPECT_EQ(head->freeMonoCount(), 16);        // no whole block of four: nothing starts
  }
  {
    ConfigScope scope(48000, 10);
    Held<MorphoHead> head(1);
    head->setSample(sample.get());
    head->mSpeed.setConstant(1.0f);
    const Render r = render(*head, 30);
    for (int f = 0; f < 30; f++) {
      EXPECT_EQ(r.left[f * 10 + 8], 0.0f);
      EXPECT_EQ(r.left[f * 10 + 9], 0.0f);
    }
    EXPECT_GT(peak(r.left), 0.1f);
  }
}

TEST(MorphoHead, HostileControlsStayFinite) {
  HeldSample sample(2, 5000, 48000.0f, tone);
  const float wild[] = {NAN, INFINITY, -INFINITY, 1e30f, -1e30f, 3e9f};
  for (int p = 0; p < 7; p++) {
    for (float value : wild) {
      Held<MorphoHead> head(2);
      head->setSample(sample.get());
      head->mSpeed.setConstant(1.0f);
      head->getParameter(p)->hardSet(value);
      const Render r = render(*head, 6);
      for (size_t i = 0; i < r.left.size(); i++) {
        ASSERT_TRUE(std::isfinite(r.left[i]) && std::isfinite(r.right[i]))
            << head->getParameter(p)->name() << " = " << value << " at " << i;
      }
      if (p == 4 && !std::isfinite(value)) {
        EXPECT_EQ(peak(r.left), 0.0f); // broken "Gain": silence
      }
    }
  }
  for (float value : wild) {
    Held<MorphoHead> head(2);
    head->setSample(sample.get());
    head->mSpeed.setConstant(value);
    head->mTrigger.setConstant(value);
    const Render r = render(*head, 6);
    for (size_t i = 0; i < r.left.size(); i++) ASSERT_TRUE(std::isfinite(r.left[i])) << "Speed " << value;
  }
}

TEST(MorphoHead, FastTriggersUseUpThePoolThenRecover) {
  ConfigScope scope(48000, 128);
  HeldSample sample(1, 48000, 48000.0f, tone);
  Held<MorphoHead> head(1);
  head->setSample(sample.get());
  head->mGeneSize.hardSet(0.05f); // 2400 samples
  head->mSpeed.setConstant(1.0f);
  Feeder feeder;
  float *trigger = feeder.feed(head->mTrigger);
  for (int i = 0; i < 128; i++) trigger[i] = (i / 4) % 2 ? 0.0f : 1.0f; // an edge every 8 samples
  runFrame(*head);
  EXPECT_EQ(head->freeMonoCount(), 0);
  runFrame(*head); // further sets find no grain
  EXPECT_EQ(head->freeMonoCount(), 0);
  for (int i = 0; i < 128; i++) trigger[i] = 0.0f;
  for (int f = 0; f < 25; f++) runFrame(*head); // 3200 samples: the burst has finished
  EXPECT_GE(head->freeMonoCount(), 15);
  EXPECT_GT(peak(render(*head, 5).left), 0.1f);
}

TEST(MorphoHead, ProcessNeverAllocates) {
  HeldSample sample(2, 48000, 48000.0f, tone);
  Held<MorphoHead> head(2);
  head->setSample(sample.get());
  head->mMorph.hardSet(1.0f);
  head->mGeneSize.hardSet(0.01f);
  head->mSpeed.setConstant(1.5f);
  qvztest::AllocationCounter counter;
  for (int f = 0; f < 50; f++) runFrame(*head);
  const qvztest::AllocationCount count = counter.stop();
  EXPECT_EQ(count.allocations, 0);
  EXPECT_EQ(count.frees, 0);
}

TEST(MorphoHead, SampleLivesUntilTheHeadAndEveryGrainLetGo) {
  bool firstGone = false, secondGone = false;
  HeldSample first(1, 5000, 48000.0f, tone, &firstGone);
  HeldSample second(2, 5000, 48000.0f, tone, &secondGone);
  {
    Held<MorphoHead> head(2);
    head->mSpeed.setConstant(1.0f);
    head->setSample(first.get());
    EXPECT_EQ(first->referenceCount(), 1 + 1 + 16); // the test, the head, the mono grains
    first.drop();
    render(*head, 5);
    EXPECT_FALSE(firstGone);
    head->setSample(second.get()); // stereo: the stereo grains take it, the mono grains let go
    EXPECT_TRUE(firstGone);
    EXPECT_EQ(second->referenceCount(), 1 + 1 + 16);
    second.drop();
    render(*head, 5);
    EXPECT_FALSE(secondGone);
  }
  EXPECT_TRUE(secondGone); // the head's destruction released the last holders
}

// Samples are swapped from a second thread while frames run. A frame renders either entirely
// before or entirely after a change: with one sample positive and the other negative, no frame
// may hold both signs, and the references all come back.
TEST(MorphoHead, SampleSwapsFromAnotherThreadKeepFramesWhole) {
  ConfigScope scope(48000, 64);
  bool positiveGone = false, negativeGone = false;
  HeldSample positive(1, 4800, 48000.0f, [](int, int) { return 0.5f; }, &positiveGone);
  HeldSample negative(1, 4800, 48000.0f, [](int, int) { return -0.5f; }, &negativeGone);
  {
    Held<MorphoHead> head(1);
    head->mSpeed.setConstant(1.0f);
    head->mGeneSize.hardSet(0.003f);
    head->setSample(positive.get());
    std::atomic<bool> running{true};
    std::atomic<int> swaps{0};
    std::thread control([&] {
      od::Sample *choices[3] = {negative.get(), nullptr, positive.get()};
      for (int k = 0; running.load(); k++) {
        head->setSample(choices[k % 3]);
        swaps++;
        std::this_thread::sleep_for(std::chrono::microseconds(20));
      }
    });
    int mixed = 0, soundingFrames = 0;
    // Like a host's audio thread, the frame loop gives way between frames; the run ends
    // after enough swaps (or a generous deadline on a starved machine).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (int f = 0; (f < 20000 || swaps.load() < 300) && std::chrono::steady_clock::now() < deadline; f++) {
      runFrame(*head);
      std::this_thread::yield();
      const float *out = head->mLeftOut.buffer();
      bool above = false, below = false;
      for (int i = 0; i < 64; i++) {
        above = above || out[i] > 0.0f;
        below = below || out[i] < 0.0f;
      }
      mixed += above && below;
      soundingFrames += above || below;
    }
    running = false;
    control.join();
    EXPECT_EQ(mixed, 0);
    EXPECT_GE(swaps.load(), 300);
    EXPECT_GT(soundingFrames, 100);
    head->setSample(nullptr);
    EXPECT_EQ(positive->referenceCount(), 1);
    EXPECT_EQ(negative->referenceCount(), 1);
  }
  positive.drop();
  negative.drop();
  EXPECT_TRUE(positiveGone);
  EXPECT_TRUE(negativeGone);
}

} // namespace
