// The two places where a second thread meets the audio path: samples swapped into a
// granular head, and a chain edited inside a WetDryUnit, each while frames run. The
// sanitizer script also runs these under ThreadSanitizer, which must report nothing.

#include "morpho/MorphoHead.h"
#include "units/mixing/WetDryUnit.h"

#include "support/Harness.h"
#include "support/Scale.h"

#include <od/ReferenceCounted.h>
#include <od/Sample.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

namespace {

using qvztest::ConfigScope;
using qvztest::Held;
using qvztest::runFrame;

constexpr int kSwaps = 10000;
constexpr int kChainEdits = 1000;
constexpr int kMaxChainLength = 24;

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
    std::thread control([&] {
      for (int k = 0; k < kSwaps; k++) {
        head->setSample(k % 4 == 3 ? nullptr : samples[k % 3]);
        if (k % 8 == 0) awaitFrame(frames);
      }
      done.store(true, std::memory_order_release);
    });
    const int bad = runUntil(
        done, [&] { runFrame(*head); },
        [&] {
          for (int j = 0; j < 32; j++)
            if (!std::isfinite(head->mLeftOut.buffer()[j]) || !std::isfinite(head->mRightOut.buffer()[j])) return false;
          return true;
        },
        frames);
    control.join();
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

} // namespace
