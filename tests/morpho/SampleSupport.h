#pragma once

// Samples for the granular tests, held by the test the way the host holds them.

#include <od/Sample.h>

#include <functional>

namespace qvztest {

// A sample that reports its destruction.
class TrackedSample : public od::Sample {
public:
  TrackedSample(int channels, int frames, float rate, bool *destroyed)
      : od::Sample(channels, frames, rate), mDestroyed(destroyed) {}
  ~TrackedSample() override {
    if (mDestroyed) *mDestroyed = true;
  }

private:
  bool *mDestroyed;
};

// One test-held reference on a sample whose value at (frame, channel) is fill(frame, channel).
class HeldSample {
public:
  HeldSample(int channels, int frames, float rate, const std::function<float(int, int)> &fill,
             bool *destroyed = nullptr)
      : sample(new TrackedSample(channels, frames, rate, destroyed)) {
    sample->attach();
    for (int i = 0; i < frames; i++)
      for (int c = 0; c < channels; c++) sample->data()[i * channels + c] = fill(i, c);
  }
  ~HeldSample() {
    if (sample) sample->release();
  }
  HeldSample(const HeldSample &) = delete;
  HeldSample &operator=(const HeldSample &) = delete;

  // Drops the test's reference early.
  void drop() {
    sample->release();
    sample = nullptr;
  }
  float at(int frame, int channel = 0) const { return sample->data()[frame * sample->channels() + channel]; }
  od::Sample *operator->() const { return sample; }
  od::Sample *get() const { return sample; }

  od::Sample *sample;
};

} // namespace qvztest
