#include <od/CustomUnit.h>
#include <od/Monitor.h>
#include <od/Unit.h>

#include "support/Harness.h"
#include "support/Scale.h"

#include <gtest/gtest.h>

namespace {

using qvztest::Held;
using qvztest::Scale;

// A unit of `channels` Scale objects, object i's "In"/"Out" as input/output i.
od::Unit *scaleUnit(int channels, float factor) {
  od::Unit *unit = new od::Unit("scale", channels);
  for (int i = 0; i < channels; i++) {
    Scale *scale = new Scale(factor);
    unit->addObject(scale);
    unit->addInput(i, scale, "In");
    unit->setOutput(i, scale, "Out");
  }
  return unit;
}

TEST(Unit, DeclaresPortsByNameAndRefusesWhatItCannotDeclare) {
  Held<od::Unit> unit("u", 2);
  EXPECT_EQ(unit->getInputCount(), 2);
  EXPECT_EQ(unit->getOutputCount(), 2);
  EXPECT_EQ(unit->getOutput(0), nullptr);
  EXPECT_TRUE(unit->getInputs(0).empty());

  Scale *a = new Scale();
  Scale *b = new Scale();
  EXPECT_TRUE(unit->addInput(0, a, "In"));
  EXPECT_TRUE(unit->addInput(0, b, "In"));
  EXPECT_TRUE(unit->addInput(0, b, "In")); // declared once only
  ASSERT_EQ(unit->getInputs(0).size(), 2u);
  EXPECT_EQ(unit->getInputs(0)[1], &b->mIn);
  EXPECT_TRUE(unit->setOutput(3, a, "Out"));
  EXPECT_EQ(unit->getOutputCount(), 4);
  EXPECT_EQ(unit->getOutput(3), &a->mOut);
  EXPECT_EQ(unit->getOutput(2), nullptr);

  EXPECT_FALSE(unit->addInput(-1, a, "In"));
  EXPECT_FALSE(unit->addInput(od::Unit::kMaxPorts, a, "In"));
  EXPECT_FALSE(unit->addInput(0, a, "Nope"));
  EXPECT_FALSE(unit->addInput(0, nullptr, "In"));
  EXPECT_FALSE(unit->setOutput(0, a, "In"));
  EXPECT_FALSE(unit->addObject(nullptr));
  EXPECT_EQ(unit->getInputCount(), 2);
  EXPECT_TRUE(unit->getInputs(-1).empty());
  EXPECT_TRUE(unit->getInputs(99).empty());

  EXPECT_EQ(od::Unit("huge", 1 << 30).channelCount(), od::Unit::kMaxChannels);
  EXPECT_EQ(od::Unit("negative", -3).getInputCount(), 0);
}

TEST(Unit, HoldsItsObjectsAndGivesEveryHoldBack) {
  const int live = od::ReferenceCounted::liveCount();
  Scale *kept = new Scale();
  kept->attach(); // another holder
  {
    Held<od::Unit> unit("u", 1);
    Scale *owned = new Scale();
    unit->addObject(owned);
    unit->addObject(owned); // no second hold, no second run
    unit->addInput(0, owned, "In");
    unit->setOutput(0, kept, "Out");
    unit->addObject(kept);
    EXPECT_EQ(owned->referenceCount(), 2);
    EXPECT_EQ(kept->referenceCount(), 3);
    qvztest::runFrame(*unit);
    EXPECT_EQ(owned->frames(), 1);
  }
  EXPECT_EQ(kept->referenceCount(), 1);
  EXPECT_EQ(od::ReferenceCounted::liveCount(), live + 1);
  kept->release();
  EXPECT_EQ(od::ReferenceCounted::liveCount(), live);
}

TEST(Unit, ConnectWiresOutputsToEveryInletOfTheMatchingInput) {
  Held<od::Unit> from("from", 2);
  Held<od::Unit> to("to", 3);
  Scale *source0 = new Scale();
  Scale *source1 = new Scale();
  from->setOutput(0, source0, "Out");
  from->setOutput(1, source1, "Out");
  Scale *x = new Scale();
  Scale *y = new Scale();
  Scale *z = new Scale();
  to->addInput(0, x, "In");
  to->addInput(0, y, "In");
  to->addInput(2, z, "In");
  z->mIn.setConstant(0.5f);

  od::Unit::connect(from.object, to.object);
  EXPECT_EQ(x->mIn.source(), &source0->mOut);
  EXPECT_EQ(y->mIn.source(), &source0->mOut);
  EXPECT_FALSE(z->mIn.isConnected()); // `from` has no output 2
  to->disconnect();
  EXPECT_FALSE(x->mIn.isConnected());
  EXPECT_TRUE(to->connectInput(0, &source1->mOut));
  EXPECT_EQ(x->mIn.source(), &source1->mOut);
  EXPECT_EQ(y->mIn.source(), &source1->mOut);
  EXPECT_FALSE(to->connectInput(3, &source1->mOut));
  EXPECT_TRUE(to->connectInput(0, nullptr));
  EXPECT_FALSE(y->mIn.isConnected());
  EXPECT_FALSE(y->mIn.isConnected());
  od::Unit::connect(nullptr, to.object);
  od::Unit::connect(from.object, nullptr);
}

TEST(Unit, ProcessRunsObjectsInOrderWithTheirParameters) {
  Held<od::Unit> unit("u", 1);
  Scale *first = new Scale(2.0f);
  Scale *second = new Scale(3.0f);
  unit->addObject(first);
  unit->addObject(second);
  second->mIn.connect(&first->mOut);
  first->mIn.setConstant(1.5f);
  qvztest::runFrame(*unit);
  EXPECT_EQ(second->mOut.buffer()[globalConfig.frameLength - 1], 9.0f); // first ran before second
}

TEST(Monitor, PassesItsInputThrough) {
  qvztest::ConfigScope scope(48000, 7);
  Held<od::Monitor> monitor;
  qvztest::Feeder feeder;
  float *in = feeder.feed(monitor->mIn);
  for (int j = 0; j < 7; j++) in[j] = (float)j - 3.0f;
  monitor->mOut.buffer()[7] = 99.0f;
  qvztest::runFrame(*monitor);
  for (int j = 0; j < 7; j++) EXPECT_EQ(monitor->mOut.buffer()[j], (float)j - 3.0f);
  EXPECT_EQ(monitor->mOut.buffer()[7], 99.0f); // nothing past the frame
  EXPECT_EQ(monitor->getInput(0)->name(), "In");
  EXPECT_EQ(monitor->getOutput(0)->name(), "Out");
}

TEST(CustomUnit, ChainsItsUnitsAndRefusesLoops) {
  Held<od::CustomUnit> outer("outer", 1);
  od::Unit *doubler = scaleUnit(1, 2.0f);
  od::Unit *tripler = scaleUnit(1, 3.0f);
  EXPECT_TRUE(outer->addUnit(doubler));
  EXPECT_TRUE(outer->addUnit(tripler));
  EXPECT_FALSE(outer->addUnit(doubler));
  EXPECT_FALSE(outer->addUnit(outer.object));
  EXPECT_FALSE(outer->addUnit(nullptr));
  Held<od::CustomUnit> inner("inner", 1);
  EXPECT_TRUE(inner->addUnit(outer.object));
  EXPECT_FALSE(outer->addUnit(inner.object)); // would contain itself
  EXPECT_EQ(outer->getUnitCount(), 2);
  EXPECT_EQ(outer->getUnit(1), tripler);
  EXPECT_EQ(outer->getUnit(2), nullptr);

  doubler->getInputs(0)[0]->setConstant(0.25f);
  qvztest::runFrame(*outer);
  EXPECT_EQ(tripler->getOutput(0)->buffer()[0], 1.5f);

  tripler->setEnabled(false);
  doubler->getInputs(0)[0]->setConstant(1.0f);
  qvztest::runFrame(*outer);
  EXPECT_EQ(doubler->getOutput(0)->buffer()[0], 2.0f);
  EXPECT_EQ(tripler->getOutput(0)->buffer()[0], 1.5f); // skipped while disabled
}

} // namespace
