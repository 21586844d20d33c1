#include <od/Changes.h>
#include <od/Sine.h>

#include "support/Harness.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

TEST(ChangeQueue, AppliesAtTheNextFrameAndHoldsOwnersUntilCollected) {
  qvztest::ConfigScope config(48000, 16);
  qvztest::Held<od::Sine> sine;
  od::Parameter parameter("P", 1.0f);
  od::Option option("O", 0);
  sine->addParameter(parameter);
  sine->addOption(option);
  const int held = sine->referenceCount();
  {
    od::ChangeQueue queue;
    EXPECT_TRUE(queue.setConstant(sine->mFrequency, 880.0f));
    EXPECT_TRUE(queue.setParameter(parameter, 3.0f, true));
    EXPECT_TRUE(queue.setOption(option, 2));
    EXPECT_EQ(sine->mFrequency.buffer()[0], 440.0f);
    EXPECT_EQ(sine->referenceCount(), held + 3);

    EXPECT_EQ(queue.apply(41), 3);
    EXPECT_EQ(sine->mFrequency.buffer()[15], 880.0f);
    EXPECT_EQ(parameter.value(), 3.0f);
    EXPECT_EQ(option.value(), 2);
    EXPECT_EQ(sine->referenceCount(), held + 3); // released on the queuing thread only

    uint64_t frame = 0;
    EXPECT_EQ(queue.collect(frame), 3);
    EXPECT_EQ(frame, 41u);
    EXPECT_EQ(sine->referenceCount(), held);

    // Full: nothing more is queued (or held) until the applied ones are collected.
    for (int i = 0; i < od::ChangeQueue::kCapacity; i++) ASSERT_TRUE(queue.setParameter(parameter, (float)i, false));
    EXPECT_FALSE(queue.setParameter(parameter, -1.0f, false));
    EXPECT_EQ(sine->referenceCount(), held + od::ChangeQueue::kCapacity);
  }
  // A queue that goes away lets go of what it still held.
  EXPECT_EQ(sine->referenceCount(), held);
  EXPECT_EQ(parameter.target(), 3.0f); // the queued ones never applied
}

TEST(RobustThreads, ChangeQueueBetweenALuaThreadAndAnAudioThread) {
  qvztest::ConfigScope config(48000, 16);
  qvztest::Held<od::Sine> sine;
  const int held = sine->referenceCount();
  constexpr int kChanges = 20000;
  od::ChangeQueue queue;
  std::atomic<bool> done{false};
  std::thread audio([&] {
    uint64_t frame = 0;
    while (!done.load()) queue.apply(frame++);
    queue.apply(frame);
  });
  uint64_t frame = 0;
  for (int i = 1; i <= kChanges;) {
    if (queue.setConstant(sine->mFrequency, (float)i)) i++;
    queue.collect(frame);
  }
  done.store(true);
  audio.join();
  queue.collect(frame);
  EXPECT_EQ(sine->mFrequency.constant(), (float)kChanges);
  EXPECT_EQ(sine->referenceCount(), held);
}

} // namespace
