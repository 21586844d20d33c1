#include <od/AudioThread.h>
#include <od/BigHeap.h>
#include <od/FloatBlock.h>
#include <od/Object.h>
#include <od/Random.h>

#include "support/Harness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace {

class Probe : public od::Object {
public:
  Probe() {
    addInput(in);
    addOutput(out);
    addParameter(level);
    addOption(mode);
  }
  od::Inlet in{"In"};
  od::Outlet out{"Out"};
  od::Parameter level{"Level", 0.5f};
  od::Option mode{"Mode", 2};
};

TEST(Host, PortsAreNumberedAndNamedInRegistrationOrder) {
  qvztest::Held<Probe> probe;
  EXPECT_EQ(probe->getInput(0), &probe->in);
  EXPECT_EQ(probe->getInput("In"), &probe->in);
  EXPECT_EQ(probe->getInput(1), nullptr);
  EXPECT_EQ(probe->getInput(-1), nullptr);
  EXPECT_EQ(probe->getOutput("Out"), &probe->out);
  EXPECT_EQ(probe->getParameter("Level")->value(), 0.5f);
  EXPECT_EQ(probe->getOption("Mode")->value(), 2);
  EXPECT_EQ(probe->getOption("Nope"), nullptr);
}

TEST(Host, InletReadsConstantUntilConnectedAndKeepsSourceAlive) {
  qvztest::Held<Probe> downstream;
  downstream->in.setConstant(0.25f);
  EXPECT_EQ(downstream->in.buffer()[globalConfig.frameLength - 1], 0.25f);

  Probe *upstream = new Probe();
  upstream->attach();
  upstream->out.buffer()[0] = 7.0f;
  downstream->in.connect(&upstream->out);
  EXPECT_EQ(upstream->referenceCount(), 2);
  EXPECT_EQ(downstream->in.buffer()[0], 7.0f);

  const int live = od::ReferenceCounted::liveCount();
  upstream->release(); // the connection still holds it
  EXPECT_EQ(od::ReferenceCounted::liveCount(), live);
  downstream->in.disconnect(); // last holder gone
  EXPECT_EQ(od::ReferenceCounted::liveCount(), live - 1);
  EXPECT_EQ(downstream->in.buffer()[0], 0.25f);
}

TEST(Host, DestroyedOutletDisconnectsItsFollowers) {
  qvztest::Held<Probe> a;
  od::Outlet *feed = new od::Outlet("feed");
  feed->buffer()[0] = 3.0f;
  a->in.connect(feed);
  EXPECT_EQ(a->in.buffer()[0], 3.0f);
  delete feed;
  EXPECT_FALSE(a->in.isConnected());
  EXPECT_EQ(a->in.buffer()[0], 0.0f);
}

TEST(Host, ParameterValueGlidesToTargetAndRoundsSafely) {
  od::Parameter p("P", 0.0f);
  p.set(1.0f);
  EXPECT_EQ(p.value(), 0.0f);
  for (int i = 0; i < 60; i++) p.update();
  EXPECT_EQ(p.value(), 1.0f);
  p.hardSet(2.5f);
  EXPECT_EQ(p.value(), 2.5f);
  EXPECT_EQ(p.roundTarget(), 3); // halves round away from zero
  p.hardSet(-2.5f);
  EXPECT_EQ(p.roundTarget(), -3);
  p.hardSet(NAN);
  EXPECT_EQ(p.roundTarget(), 0);
  p.hardSet(1e30f);
  EXPECT_EQ(p.roundTarget(), 2147483647);
  p.hardSet(-INFINITY);
  EXPECT_EQ(p.roundTarget(), -2147483647 - 1);
}

TEST(Host, BigHeapZeroFillsLimitsAndRefuses) {
  const size_t before = od::BigHeap::inUse();
  char *block = od::BigHeap::allocateZeroed(1000);
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 1000; i++) ASSERT_EQ(block[i], 0);
  EXPECT_EQ(od::BigHeap::inUse(), before + 1000);
  od::BigHeap::free(block);
  EXPECT_EQ(od::BigHeap::inUse(), before);

  od::BigHeap::setLimit((long long)before + 100);
  EXPECT_EQ(od::BigHeap::allocateZeroed(101), nullptr);
  char *small = od::BigHeap::allocateZeroed(100);
  EXPECT_NE(small, nullptr);
  od::BigHeap::free(small);
  od::BigHeap::setLimit(-1);

  od::BigHeap::refuseNth(2);
  char *first = od::BigHeap::allocateZeroed(16);
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(od::BigHeap::allocateZeroed(16), nullptr);
  char *third = od::BigHeap::allocateZeroed(16);
  EXPECT_NE(third, nullptr);
  od::BigHeap::free(first);
  od::BigHeap::free(third);
  EXPECT_EQ(od::BigHeap::allocateZeroed(0), nullptr);
  EXPECT_EQ(od::BigHeap::allocateZeroed(-5), nullptr);
}

TEST(Host, FloatBlockOwnsItsMemoryAndIsEmptyWhenRefused) {
  const size_t before = od::BigHeap::inUse();
  {
    od::FloatBlock block(250);
    ASSERT_TRUE(block);
    EXPECT_EQ(block.length(), 250);
    EXPECT_EQ(od::BigHeap::inUse(), before + 1000);
    block.data()[249] = 1.0f;
    od::FloatBlock moved(std::move(block));
    EXPECT_FALSE(block);
    EXPECT_EQ(block.length(), 0);
    EXPECT_EQ(moved.data()[249], 1.0f);
    moved.zero();
    EXPECT_EQ(moved.data()[249], 0.0f);
    block = od::FloatBlock(4);
    EXPECT_EQ(od::BigHeap::inUse(), before + 1016);
  }
  EXPECT_EQ(od::BigHeap::inUse(), before);

  od::BigHeap::refuseNth(1);
  od::FloatBlock refused(16);
  EXPECT_FALSE(refused);
  EXPECT_EQ(refused.length(), 0);
  EXPECT_FALSE(od::FloatBlock(0x40000000)); // more bytes than an int holds
}

TEST(Host, FramePoolHandsOutDistinctAlignedFramesAndTakesThemBack) {
  std::set<float *> frames;
  for (int i = 0; i < od::AudioThread::kPoolSize; i++) {
    float *f = od::AudioThread::getFrame();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(f) % 16, 0u);
    frames.insert(f);
  }
  EXPECT_EQ((int)frames.size(), od::AudioThread::kPoolSize);
  EXPECT_EQ(od::AudioThread::getFrame(), nullptr);
  for (float *f : frames) od::AudioThread::releaseFrame(f);
  EXPECT_EQ(od::AudioThread::framesInUse(), 0);
}

TEST(Host, RandomIsReproducibleFromItsSeedAndStaysInBounds) {
  od::Random::seed(42);
  float first[8];
  for (float &v : first) v = od::Random::generateFloat(-1.0f, 1.0f);
  od::Random::seed(42);
  for (float v : first) EXPECT_EQ(od::Random::generateFloat(-1.0f, 1.0f), v);
  for (int i = 0; i < 10000; i++) {
    const float v = od::Random::generateFloat(2.0f, 3.0f);
    ASSERT_GE(v, 2.0f);
    ASSERT_LE(v, 3.0f);
  }
}

TEST(Host, ConfigureRejectsOutOfRangeValuesAndKeepsTheOld) {
  qvztest::ConfigScope scope(44100, 64);
  EXPECT_EQ(globalConfig.sampleRate, 44100);
  EXPECT_FLOAT_EQ(globalConfig.samplePeriod, 1.0f / 44100.0f);
  EXPECT_FALSE(od::configure(999, 128));
  EXPECT_FALSE(od::configure(48000, 0));
  EXPECT_FALSE(od::configure(48000, 4097));
  EXPECT_EQ(globalConfig.sampleRate, 44100);
  EXPECT_EQ(globalConfig.frameLength, 64);
}

} // namespace
