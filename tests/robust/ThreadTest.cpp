// Where other threads meet the audio path: samples swapped into a granular head, a chain
// edited inside a WetDryUnit, delay memory sized, cleared and freed, each while frames run;
// and two threads each building and running every class at once. The sanitizer script also
// runs these under ThreadSanitizer, which must report nothing.

#include "morpho/MorphoHead.h"
#include "units/delay/Pluck.h"
#include "units/delay/ReverseDelay.h"
#include "units/mixing/WetDryUnit.h"

#include "support/Harness.h"
#include "RobustRig.h"
#include "support/Scale.h"

#include <od/AudioThread.h>
#include <od/BigHeap.h>
#include <od/Random.h>

#include <od/ReferenceCounted.h>
#include <od/Sample.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

namespace {

using qvztest::ConfigScope;
using qvztest::Held;
using qvztest::runFrame;

constexpr int kSwaps = 10000;
constexpr int kChainEdits = 1000;
constexpr int kMaxChainLength = 24;
constexpr int kMemoryChanges = 2000;
constexpr int kFramesPerClass = 30;

// Runs frames on this thread until `done` is set; returns the number of frames whose
// outputs failed `frameOk`.
template <typename Run, typename Check>
int runUntil(const std::atomic<bool> &done, Run run, Check frameOk, std::atomic<int> &frames) {
  int bad = 0;
  while (!done.load(std::memory_order_acquire)) {
    run();
    if (!frameOk()) bad++;
    frames.fetch_add(1, std::memory_order_release);
    std::this_thread::yield(); // a host's audio thread waits for the next period here
  }
  return bad;
}

// Lets at least one more frame run before the control thread goes on.
void awaitFrame(const std::atomic<int> &frames) {
  const int seen = frames.load(std::memory_order_acquire);
  while (frames.load(std::memory_order_acquire) == seen) std::this_thread::yield();
}

TEST(RobustThreads, SamplesSwappedTenThousandTimesWhileFramesRun) {
  ConfigScope scope(48000, 32);
  const int liveAtStart = od::ReferenceCounted::liveCount();
  {
    od::Sample *samples[3] = {new od::Sample(2, 4800, 48000.0f), new od::Sample(1, 100, 44100.0f),
                              new od::Sample(2, 0, 48000.0f)};
    for (od::Sample *s : samples) s->attach();
    for (int i = 0; i < 2 * 4800; i++) samples[0]->data()[i] = std::sin(0.01f * (float)i);
    for (int i = 0; i < 100; i++) samples[1]->data()[i] = 0.25f;

    Held<morpho::MorphoHead> head(2);
    head->mSpeed.setConstant(1.0f);
    head->mGeneSize.hardSet(0.002f);
    std::atomic<bool> done{false};
    std::atomic<int> frames{0};
    // Two threads swap at once: changes wait for each other, never for the frames.
    std::atomic<int> controlsLeft{2};
    auto swapper = [&](int first) {
      for (int k = first; k < kSwaps; k += 2) {
        head->setSample(k % 4 == 3 ? nullptr : samples[k % 3]);
        if (k % 8 < 2) awaitFrame(frames);
      }
      if (controlsLeft.fetch_sub(1) == 1) done.store(true, std::memory_order_release);
    };
    std::thread control(swapper, 0);
    std::thread second(swapper, 1);
    const int bad = runUntil(
        done, [&] { runFrame(*head); },
        [&] {
          for (int j = 0; j < 32; j++)
            if (!std::isfinite(head->mLeftOut.buffer()[j]) || !std::isfinite(head->mRightOut.buffer()[j])) return false;
          return true;
        },
        frames);
    control.join();
    second.join();
    EXPECT_EQ(bad, 0) << "of " << frames.load() << " frames";
    head->setSample(nullptr);
    runFrame(*head);
    for (od::Sample *s : samples) {
      EXPECT_EQ(s->referenceCount(), 1) << "the head and its grains gave every sample back";
      s->release();
    }
  }
  EXPECT_EQ(od::ReferenceCounted::liveCount(), liveAtStart);
}

// Every unit in the chain passes its input on unchanged, so with the fade all wet a frame
// that sees a whole chain gives exactly the input; a half-wired chain would give silence.
TEST(RobustThreads, ChainEditedAThousandTimesWhileFramesRun) {
  ConfigScope scope(48000, 16);
  const int liveAtStart = od::ReferenceCounted::liveCount();
  {
    Held<WetDryUnit> unit("robust", 1);
    od::Outlet source("source");
    for (int j = 0; j < 16; j++) source.buffer()[j] = 1.0f;
    unit->connectInput(0, &source);
    unit->getFader(0)->mFade.setConstant(1.0f);
    for (int f = 0; f < 4000; f++) runFrame(*unit); // the fade settles on the wet side

    std::atomic<bool> done{false};
    std::atomic<int> frames{0};
    std::thread control([&] {
      for (int k = 0; k < kChainEdits; k++) {
        const int count = unit->getUnitCount();
        if (count < kMaxChainLength && k % 3 == 0) {
          od::Unit *pass = new od::Unit("pass", 1);
          qvztest::Scale *scale = new qvztest::Scale(1.0f);
          pass->addObject(scale);
          pass->addInput(0, scale, "In");
          pass->setOutput(0, scale, "Out");
          unit->addUnit(pass);
        } else if (count > 0) {
          od::Unit *u = unit->getUnit(k % count);
          u->setBypassed(!u->isBypassed());
          unit->rewire();
        }
        awaitFrame(frames);
      }
      done.store(true, std::memory_order_release);
    });
    const int bad = runUntil(
        done, [&] { runFrame(*unit); },
        [&] {
          const float *out = unit->getOutput(0)->buffer();
          for (int j = 0; j < 16; j++)
            if (std::fabs(out[j] - 1.0f) > 1e-5f) return false;
          return true;
        },
        frames);
    control.join();
    EXPECT_EQ(bad, 0) << "of " << frames.load() << " frames";
    EXPECT_EQ(unit->getUnitCount(), kMaxChainLength);
    unit->connectInput(0, nullptr);
  }
  EXPECT_EQ(od::ReferenceCounted::liveCount(), liveAtStart);
}

// Sizes, clears and frees delay memory from another thread while frames run. `out` is the
// outlet the frames are checked on; every sample must lie in [low, high].
void changeMemoryWhileFramesRun(std::function<void()> frame, const float *out, float low, float high,
                                std::function<void(int)> change) {
  std::atomic<bool> done{false};
  std::atomic<int> frames{0};
  std::thread control([&] {
    for (int k = 0; k < kMemoryChanges; k++) {
      change(k);
      if (k % 4 == 0) awaitFrame(frames);
    }
    done.store(true, std::memory_order_release);
  });
  const int bad = runUntil(
      done, frame,
      [&] {
        for (int j = 0; j < 64; j++)
          if (!(out[j] >= low && out[j] <= high)) return false;
        return true;
      },
      frames);
  control.join();
  EXPECT_EQ(bad, 0) << "of " << frames.load() << " frames";
}

// The k-th change of a delay's memory: a size from a few lengths, a clear or a free.
template <typename Delay> void changeMemory(Delay &delay, int k) {
  switch (k % 4) {
  case 0: delay.allocateTimeUpTo(0.01f + 0.02f * (float)(k % 7)); break;
  case 1: delay.zero(); break;
  case 2: delay.deallocate(); break;
  default: delay.allocateTimeUpTo(0.003f); break;
  }
}

// With no feedback a reverse delay of a constant 0.5 gives 0.5 (passing through) or the
// line's 0.5s and zeros under a fade in [0, 1]; anything else was read from memory not its own.
TEST(RobustThreads, DelayMemoryChangedFromAnotherThreadWhileFramesRun) {
  ConfigScope scope(48000, 64);
  const size_t heapAtStart = od::BigHeap::inUse();
  {
    Held<ReverseDelay> reverse(2);
    qvztest::Feeder feeder;
    for (od::Inlet *inlet : {&reverse->mLeftIn, &reverse->mRightIn}) {
      float *b = feeder.feed(*inlet);
      for (int j = 0; j < 64; j++) b[j] = 0.5f;
    }
    reverse->mDelay.hardSet(0.004f);
    changeMemoryWhileFramesRun([&] { runFrame(*reverse); }, reverse->mRightOut.buffer(), 0.0f, 0.5f,
                               [&](int k) { changeMemory(*reverse, k); });

    // Each voice is held in [-2, 2], so four of them sum within [-8, 8].
    Held<Pluck> pluck(0.02f);
    float *trigger = feeder.feed(pluck->mTrigger);
    float *in = feeder.feed(pluck->mIn);
    pluck->mF0.setConstant(220.0f);
    pluck->mDecay.setConstant(0.99f);
    pluck->mDamp.setConstant(5000.0f);
    for (int j = 0; j < 64; j++) in[j] = 0.3f * std::sin(0.7f * (float)j);
    changeMemoryWhileFramesRun(
        [&] {
          trigger[0] = trigger[0] > 0.5f ? 0.0f : 1.0f;
          runFrame(*pluck);
        },
        pluck->mOut.buffer(), -8.0f, 8.0f, [&](int k) { changeMemory(*pluck, k); });

    // Inside a WetDryUnit chain, where the chain lock covers only the chain's wiring.
    Held<WetDryUnit> unit("robust", 1);
    ReverseDelay *inChain = new ReverseDelay(1);
    inChain->attach();
    inChain->mDelay.hardSet(0.004f);
    od::Unit *chain = new od::Unit("reverse", 1);
    chain->addObject(inChain);
    chain->addInput(0, inChain, "Left In");
    chain->setOutput(0, inChain, "Left Out");
    unit->addUnit(chain);
    od::Outlet source("source");
    for (int j = 0; j < 64; j++) source.buffer()[j] = 0.5f;
    unit->connectInput(0, &source);
    unit->getFader(0)->mFade.setConstant(1.0f);
    changeMemoryWhileFramesRun([&] { runFrame(*unit); }, unit->getOutput(0)->buffer(), -1e-5f, 0.5f + 1e-5f,
                               [&](int k) { changeMemory(*inChain, k); });
    unit->connectInput(0, nullptr);
    inChain->release();
  }
  EXPECT_EQ(od::BigHeap::inUse(), heapAtStart);
}

// Runs every class for a few frames in its own random context and returns all it produced.
std::vector<float> runEveryClass() {
  od::RandomSource noise(11);
  od::Random::Scope context(noise);
  std::vector<float> produced;
  for (const qvztest::UnitEntry &entry : qvztest::unitRegistry()) {
    qvzrobust::Rig rig(entry);
    qvzrobust::VectorSource source(qvzrobust::runSeed(5, entry.name, 48000, 64));
    const qvzrobust::ControlVector v = source.draw(*rig.object, qvzrobust::Kind::InRange);
    rig.apply(v);
    for (long frame = 0; frame < kFramesPerClass; frame++) {
      rig.fill(v, frame);
      runFrame(*rig.object);
      rig.appendOutputs(produced);
    }
  }
  return produced;
}

// Two contexts at once (two plug-in instances, or a new patch built beside the one playing):
// the heap, the scratch frames, the reference counts and the denormal mode are shared, and
// each context's noise is its own, so both give what one gives alone.
TEST(RobustThreads, TwoThreadsBuildAndRunEveryClassAlike) {
  ConfigScope scope(48000, 64);
  const size_t heapAtStart = od::BigHeap::inUse();
  const int liveAtStart = od::ReferenceCounted::liveCount();
  const std::vector<float> alone = runEveryClass();
  std::vector<float> results[2];
  std::thread first([&] { results[0] = runEveryClass(); });
  std::thread second([&] { results[1] = runEveryClass(); });
  first.join();
  second.join();
  for (const std::vector<float> &result : results) {
    ASSERT_EQ(result.size(), alone.size());
    EXPECT_EQ(std::memcmp(result.data(), alone.data(), alone.size() * sizeof(float)), 0);
  }
  EXPECT_EQ(od::AudioThread::framesInUse(), 0);
  EXPECT_EQ(od::BigHeap::inUse(), heapAtStart);
  EXPECT_EQ(od::ReferenceCounted::liveCount(), liveAtStart);
}

} // namespace
