// Delay memory refused by the host heap: every class that takes memory must build, run
// and go away cleanly whichever of its allocations is refused, and with no memory at all.

#include "RobustRig.h"

#include <gtest/gtest.h>

#include <od/ReferenceCounted.h>

#include <string>

namespace {

using qvzrobust::Rig;

constexpr int kFrames = 24;

// Restores the heap's limit and refusal on every path out of a test.
struct HeapScope {
  ~HeapScope() {
    od::BigHeap::refuseNth(0);
    od::BigHeap::setLimit(-1);
  }
};

// Runs a unit on in-range vectors; returns the first non-finite output's frame, or -1.
// With `passOrSilence`, each output sample must also be silence or a copy of the same
// sample of one of the inlets (what a unit without its memory may give).
long runChecked(Rig &rig, bool passOrSilence, std::string &why) {
  qvzrobust::VectorSource source(qvzrobust::runSeed(3, rig.entry.name, globalConfig.sampleRate, globalConfig.frameLength));
  for (long f = 0; f < kFrames; f++) {
    const qvzrobust::ControlVector v = source.draw(*rig.object, qvzrobust::Kind::InRange);
    rig.apply(v);
    rig.fill(v, f);
    qvztest::runFrame(*rig.object);
    if (rig.firstNonFinite() >= 0) {
      why = "non-finite output";
      return f;
    }
    if (!passOrSilence) continue;
    for (int o = 0; o < rig.object->outputCount(); o++) {
      const float *b = rig.object->getOutput(o)->buffer();
      for (int j = 0; j < (globalConfig.frameLength & ~3); j++) {
        bool explained = b[j] == 0.0f;
        for (size_t i = 0; i < rig.feeds.size() && !explained; i++) explained = b[j] == rig.feeds[i][j];
        if (!explained) {
          why = "outlet " + rig.object->getOutput(o)->name() + " sample " + std::to_string(j) + " = " +
                qvzrobust::formatFloat(b[j]) + " is neither silence nor an input";
          return f;
        }
      }
    }
  }
  return -1;
}

TEST(RobustMemory, RefusedAllocationsNeitherCrashNorLeak) {
  HeapScope heapScope;
  qvztest::ConfigScope scope(48000, 128);
  int classesWithMemory = 0;
  for (const qvztest::UnitEntry &entry : qvztest::unitRegistry()) {
    const size_t heapAtStart = od::BigHeap::inUse();
    const int liveAtStart = od::ReferenceCounted::liveCount();
    int allocations = 0;
    {
      const int before = od::BigHeap::allocationCount();
      Rig rig(entry);
      allocations = od::BigHeap::allocationCount() - before;
    }
    ASSERT_EQ(od::BigHeap::inUse(), heapAtStart) << entry.name << " leaks heap memory";
    if (allocations == 0) continue;
    classesWithMemory++;

    for (int k = 1; k <= allocations + 1; k++) {
      od::BigHeap::refuseNth(k);
      {
        Rig rig(entry);
        od::BigHeap::refuseNth(0);
        std::string why;
        const long bad = runChecked(rig, false, why);
        EXPECT_LT(bad, 0) << entry.name << " with allocation " << k << " refused: " << why << " in frame " << bad;
      }
      EXPECT_EQ(od::BigHeap::inUse(), heapAtStart) << entry.name << " with allocation " << k << " refused leaks";
      EXPECT_EQ(od::ReferenceCounted::liveCount(), liveAtStart) << entry.name << " with allocation " << k << " refused";
    }

    od::BigHeap::setLimit(0);
    {
      Rig rig(entry);
      std::string why;
      const long bad = runChecked(rig, true, why);
      EXPECT_LT(bad, 0) << entry.name << " with no memory: " << why << " in frame " << bad;
    }
    od::BigHeap::setLimit(-1);
    EXPECT_EQ(od::BigHeap::inUse(), heapAtStart) << entry.name << " with no memory leaks";

    // The heap gives again once it may: a fresh unit gets its memory back.
    Rig rig(entry);
    EXPECT_GT(rig.heapBytes, 0u) << entry.name;
    std::string why;
    EXPECT_LT(runChecked(rig, false, why), 0) << entry.name << " after refusals: " << why;
  }
  RecordProperty("classesWithMemory", classesWithMemory);
}

} // namespace
