#include "units/mixing/WetDryFade.h"
#include "units/mixing/WetDryUnit.h"

#include <od/BigHeap.h>

#include "support/AllocationCounter.h"
#include "support/Harness.h"
#include "support/Scale.h"
#include "support/UnitRegistry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

QVZ_REGISTER_UNIT("WetDryFade", [] { return new WetDryFade(); });

namespace {

using qvztest::ConfigScope;
using qvztest::Feeder;
using qvztest::Held;
using qvztest::runFrame;
using qvztest::Scale;

// Smoothing coefficient of the fade at 48 kHz: 1 - e^(-1/240).
const float kFadeCoefficient48k = 1.0f - expf(-200.0f / 48000.0f);

// The fade position after one frame with "A" = 0, "B" = 1 and "Fade" held at `fade`.
float positionAfterOneFrame(float fade) {
  Held<WetDryFade> fader;
  fader->mA.setConstant(0.0f);
  fader->mB.setConstant(1.0f);
  fader->mFade.setConstant(fade);
  runFrame(*fader);
  return fader->mOut.buffer()[globalConfig.frameLength - 1];
}

TEST(WetDryFade, GlidesFromBToAWithAFiveMillisecondTimeConstant) {
  ConfigScope scope(48000, 480);
  EXPECT_NEAR(kFadeCoefficient48k, 0.0041580f, 1e-7f);
  Held<WetDryFade> fader;
  fader->mA.setConstant(-0.5f);
  fader->mB.setConstant(0.5f);
  runFrame(*fader); // "Fade" unconnected reads 0
  const float *out = fader->mOut.buffer();
  EXPECT_EQ(out[0], -0.5f + (1.0f - kFadeCoefficient48k) * 1.0f);
  float position = 1.0f;
  for (int j = 0; j < 480; j++) {
    position += (0.0f - position) * kFadeCoefficient48k;
    ASSERT_EQ(out[j], -0.5f + position * (0.5f - -0.5f)) << "sample " << j;
  }
  // 5 ms = 240 samples: the distance to A has fallen to 1/e.
  EXPECT_NEAR(out[239] + 0.5f, std::exp(-1.0f), 1e-3f);
  EXPECT_NEAR(out[479] + 0.5f, std::exp(-2.0f), 1e-3f);
}

TEST(WetDryFade, FadeOutsideZeroToOneOrNotANumberIsClamped) {
  const float towardsA = positionAfterOneFrame(0.0f);
  EXPECT_LT(towardsA, 1.0f);
  EXPECT_EQ(positionAfterOneFrame(2.0f), 1.0f);
  EXPECT_EQ(positionAfterOneFrame(INFINITY), 1.0f);
  EXPECT_EQ(positionAfterOneFrame(NAN), 1.0f);
  EXPECT_EQ(positionAfterOneFrame(-3.0f), towardsA);
  EXPECT_EQ(positionAfterOneFrame(-INFINITY), towardsA);
  EXPECT_GT(positionAfterOneFrame(0.5f), towardsA);
}

TEST(WetDryFade, SettlesOnTheMixAndCarriesItsPositionAcrossFrames) {
  ConfigScope scope(48000, 64);
  Held<WetDryFade> fader;
  fader->mA.setConstant(0.2f);
  fader->mB.setConstant(-0.6f);
  fader->mFade.setConstant(0.25f);
  for (int frame = 0; frame < 100; frame++) runFrame(*fader);
  // The glide stalls a few float steps short of its target once a step rounds away.
  EXPECT_NEAR(fader->mOut.buffer()[63], 0.2f + 0.25f * (-0.6f - 0.2f), 1e-5f);

  // Two frames of 8 continue exactly where one frame of 16 goes.
  float whole[16];
  {
    ConfigScope sixteen(48000, 16);
    Held<WetDryFade> one;
    one->mB.setConstant(1.0f);
    runFrame(*one);
    for (int j = 0; j < 16; j++) whole[j] = one->mOut.buffer()[j];
  }
  ConfigScope eight(48000, 8);
  Held<WetDryFade> two;
  two->mB.setConstant(1.0f);
  runFrame(*two);
  EXPECT_EQ(two->mOut.buffer()[7], whole[7]);
  runFrame(*two);
  for (int j = 0; j < 8; j++) EXPECT_EQ(two->mOut.buffer()[j], whole[8 + j]);
}

TEST(WetDryFade, ShortAndRaggedFrames) {
  {
    ConfigScope scope(48000, 3);
    Held<WetDryFade> fader;
    fader->mOut.buffer()[0] = 42.0f;
    fader->mB.setConstant(1.0f);
    runFrame(*fader);
    EXPECT_EQ(fader->mOut.buffer()[0], 42.0f);
  }
  ConfigScope scope(48000, 6);
  Held<WetDryFade> fader;
  fader->mOut.buffer()[4] = 42.0f;
  fader->mB.setConstant(1.0f);
  fader->mFade.setConstant(1.0f);
  runFrame(*fader);
  EXPECT_EQ(fader->mOut.buffer()[3], 1.0f);
  EXPECT_EQ(fader->mOut.buffer()[4], 42.0f); // only whole groups of four are written
}

// Drives every input of a WetDryUnit from its own feed with a distinct ramp.
struct UnitInputs {
  UnitInputs(od::Unit &unit) {
    for (int i = 0; i < unit.getInputCount(); i++) {
      float *buffer = feeder.feed(*unit.getInputs(i)[0]);
      for (int j = 0; j < globalConfig.frameLength; j++) buffer[j] = 0.01f * (float)j - 0.5f * (float)i;
      buffers.push_back(buffer);
    }
  }
  Feeder feeder;
  std::vector<float *> buffers;
};

// The monitor that feeds fader i's "B" (the wet side), and the outlet feeding that monitor.
od::Outlet *wetSource(WetDryUnit &unit, int i) {
  od::Object *wetMonitor = unit.getFader(i)->mB.source()->owner();
  return wetMonitor->getInput("In")->source();
}

od::Outlet *dryOutlet(WetDryUnit &unit, int i) { return unit.getInputs(i)[0]->owner()->getOutput("Out"); }

TEST(WetDryUnit, WithoutContainedUnitsPassesInputsAtAnyFade) {
  for (float fade : {0.0f, 0.3f, 1.0f}) {
    Held<WetDryUnit> unit("mix", 2);
    UnitInputs inputs(*unit);
    for (int i = 0; i < 2; i++) unit->getFader(i)->mFade.setConstant(fade);
    for (int frame = 0; frame < 3; frame++) {
      runFrame(*unit);
      for (int i = 0; i < 2; i++)
        for (int j = 0; j < globalConfig.frameLength; j++)
          ASSERT_EQ(unit->getOutput(i)->buffer()[j], inputs.buffers[i][j]) << "fade " << fade;
    }
  }
}

TEST(WetDryUnit, MixesTheChainOutputWithTheDrySignal) {
  Held<WetDryUnit> unit("mix", 2);
  od::Unit *gain = new od::Unit("gain", 2);
  for (int i = 0; i < 2; i++) {
    Scale *scale = new Scale(-3.0f);
    gain->addObject(scale);
    gain->addInput(i, scale, "In");
    gain->setOutput(i, scale, "Out");
  }
  unit->addUnit(gain);
  UnitInputs inputs(*unit);
  unit->getFader(0)->mFade.setConstant(1.0f); // all wet
  unit->getFader(1)->mFade.setConstant(0.0f); // gliding to dry
  for (int frame = 0; frame < 40; frame++) runFrame(*unit);
  const int last = globalConfig.frameLength - 1;
  EXPECT_EQ(unit->getOutput(0)->buffer()[last], -3.0f * inputs.buffers[0][last]);
  EXPECT_NEAR(unit->getOutput(1)->buffer()[last], inputs.buffers[1][last], 1e-5f);

  unit->setEnabled(false); // the unit's own objects only; the chain still runs
  runFrame(*unit);
  EXPECT_EQ(unit->getOutput(0)->buffer()[last], -3.0f * inputs.buffers[0][last]);
}

TEST(WetDryUnit, BypassedUnitsAreWiredFromTheirPredecessorButFeedNothing) {
  Held<WetDryUnit> unit("mix", 2);
  od::Unit *units[3];
  Scale *objects[3][2];
  for (int u = 0; u < 3; u++) {
    units[u] = new od::Unit("u", 2);
    for (int i = 0; i < 2; i++) {
      objects[u][i] = new Scale(2.0f);
      units[u]->addObject(objects[u][i]);
      units[u]->addInput(i, objects[u][i], "In");
      units[u]->setOutput(i, objects[u][i], "Out");
    }
  }
  units[1]->setBypassed(true);
  for (od::Unit *u : units) unit->addUnit(u);
  for (int i = 0; i < 2; i++) {
    EXPECT_EQ(objects[0][i]->mIn.source(), dryOutlet(*unit, i));
    EXPECT_EQ(objects[1][i]->mIn.source(), &objects[0][i]->mOut);
    EXPECT_EQ(objects[2][i]->mIn.source(), &objects[0][i]->mOut);
    EXPECT_EQ(wetSource(*unit, i), &objects[2][i]->mOut);
  }
  UnitInputs inputs(*unit);
  for (int i = 0; i < 2; i++) unit->getFader(i)->mFade.setConstant(1.0f);
  runFrame(*unit);
  EXPECT_EQ(unit->getOutput(1)->buffer()[10], 4.0f * inputs.buffers[1][10]);
  EXPECT_EQ(objects[1][0]->frames(), 1); // bypassed, yet enabled: it still runs

  units[2]->setEnabled(false);
  runFrame(*unit);
  EXPECT_EQ(objects[2][0]->frames(), 1);
}

TEST(WetDryUnit, AnAllBypassedChainLeavesTheWetSideOnTheDrySignal) {
  Held<WetDryUnit> unit("mix", 2);
  od::Unit *only = new od::Unit("only", 2);
  Scale *scale = new Scale(5.0f);
  only->addObject(scale);
  only->addInput(0, scale, "In");
  only->setOutput(0, scale, "Out");
  only->setBypassed(true);
  unit->addUnit(only);
  EXPECT_EQ(scale->mIn.source(), dryOutlet(*unit, 0));
  for (int i = 0; i < 2; i++) EXPECT_EQ(wetSource(*unit, i), dryOutlet(*unit, i));
  UnitInputs inputs(*unit);
  for (int i = 0; i < 2; i++) unit->getFader(i)->mFade.setConstant(1.0f);
  runFrame(*unit);
  EXPECT_EQ(unit->getOutput(0)->buffer()[9], inputs.buffers[0][9]);

  // Clearing the bypass takes effect when the chain is rewired.
  only->setBypassed(false);
  unit->rewire();
  EXPECT_EQ(wetSource(*unit, 0), &scale->mOut);
  EXPECT_EQ(wetSource(*unit, 1), nullptr);
}

TEST(WetDryUnit, MissingOrNullLastOutputsLeaveWetMonitorsUnconnected) {
  Held<WetDryUnit> unit("mix", 3);
  od::Unit *narrow = new od::Unit("narrow", 0);
  Scale *scale = new Scale(1.0f);
  narrow->addInput(0, scale, "In");
  narrow->setOutput(1, scale, "Out"); // output 0 stays null, there is no output 2
  unit->addUnit(narrow);
  EXPECT_EQ(narrow->getOutputCount(), 2);
  EXPECT_EQ(wetSource(*unit, 0), nullptr);
  EXPECT_EQ(wetSource(*unit, 1), &scale->mOut);
  EXPECT_EQ(wetSource(*unit, 2), nullptr);
  EXPECT_EQ(scale->mIn.source(), dryOutlet(*unit, 0));
}

TEST(WetDryUnit, FadersAreReachableOnlyByChannel) {
  Held<WetDryUnit> unit("mix", 2);
  EXPECT_EQ(unit->getFader(-1), nullptr);
  EXPECT_EQ(unit->getFader(2), nullptr);
  ASSERT_NE(unit->getFader(1), nullptr);
  EXPECT_EQ(unit->getOutput(1), &unit->getFader(1)->mOut);
  EXPECT_NE(unit->getFader(0), unit->getFader(1));
  EXPECT_EQ(unit->getInputCount(), 2);

  Held<WetDryUnit> empty("none", 0);
  EXPECT_EQ(empty->getFader(0), nullptr);
  EXPECT_EQ(empty->getInputCount(), 0);
  empty->addUnit(new od::Unit("inside", 1));
  runFrame(*empty);
}

TEST(WetDryUnit, DestructionLeavesNothingBehindAndSparesOtherHolders) {
  const int live = od::ReferenceCounted::liveCount();
  const size_t heap = od::BigHeap::inUse();
  od::Unit *shared = new od::Unit("shared", 1);
  Scale *scale = new Scale(2.0f);
  shared->addObject(scale);
  shared->addInput(0, scale, "In");
  shared->setOutput(0, scale, "Out");
  shared->attach(); // held elsewhere too
  od::Object *fader = nullptr;
  {
    Held<WetDryUnit> unit("mix", 2);
    unit->addUnit(shared);
    unit->addUnit(new od::Unit("owned", 2));
    fader = unit->getFader(0);
    fader->attach(); // someone keeps the fader
    UnitInputs inputs(*unit);
    runFrame(*unit);
    EXPECT_GT(od::ReferenceCounted::liveCount(), live + 8);
  }
  EXPECT_FALSE(scale->mIn.isConnected()); // no wire keeps the unit's monitors alive
  EXPECT_EQ(shared->referenceCount(), 1);
  EXPECT_EQ(fader->referenceCount(), 1);
  fader->release();
  shared->release();
  EXPECT_EQ(od::ReferenceCounted::liveCount(), live);
  EXPECT_EQ(od::BigHeap::inUse(), heap);
}

TEST(WetDryUnit, ProcessAllocatesNothing) {
  Held<WetDryUnit> unit("mix", 2);
  unit->addUnit(new od::Unit("empty", 2));
  UnitInputs inputs(*unit);
  runFrame(*unit);
  qvztest::AllocationCounter counter;
  for (int frame = 0; frame < 4; frame++) runFrame(*unit);
  EXPECT_EQ(counter.stop().allocations, 0);
}

// The audio thread processes while the Lua thread appends units through addUnit, which
// rewires the chain under the unit's mutex. Every frame must see a whole chain: the wet
// output is the input times 2^k for some k units, never a half-wired state.
TEST(WetDryUnit, AddingUnitsWhileProcessingIsSerialisedByTheMutex) {
  ConfigScope scope(48000, 16);
  constexpr int kUnits = 40;
  Held<WetDryUnit> unit("mix", 1);
  unit->getFader(0)->mFade.setConstant(1.0f);
  UnitInputs inputs(*unit);
  for (int j = 0; j < 16; j++) inputs.buffers[0][j] = 1.0f;

  std::atomic<bool> done{false};
  std::atomic<int> badFrames{0};
  std::atomic<int> frames{0};
  std::thread audio([&] {
    while (!done.load()) {
      runFrame(*unit);
      const float out = unit->getOutput(0)->buffer()[15];
      int exponent = 0;
      if (std::frexp(out, &exponent) != 0.5f || out < 1.0f) badFrames.fetch_add(1);
      frames.fetch_add(1);
    }
  });
  for (int k = 0; k < kUnits; k++) {
    od::Unit *doubler = new od::Unit("doubler", 1);
    Scale *scale = new Scale(2.0f);
    doubler->addObject(scale);
    doubler->addInput(0, scale, "In");
    doubler->setOutput(0, scale, "Out");
    ASSERT_TRUE(unit->addUnit(doubler));
    std::this_thread::yield();
  }
  while (frames.load() < 200) std::this_thread::yield();
  done.store(true);
  audio.join();

  EXPECT_EQ(badFrames.load(), 0);
  EXPECT_EQ(unit->getUnitCount(), kUnits);
  runFrame(*unit);
  EXPECT_EQ(unit->getOutput(0)->buffer()[15], std::ldexp(1.0f, kUnits));
}

} // namespace
