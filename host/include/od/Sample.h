#pragma once

#include <od/ReferenceCounted.h>

#include <string>
#include <vector>

namespace od {

// Audio held in memory: frames() source frames of channels() interleaved floats, recorded at
// rate() Hz. Source frame i of channel c is data()[i * channels() + c]. Heads and grains that
// read a sample hold a reference on it (attach/release), so it lives while any of them plays it.
class Sample : public ReferenceCounted {
public:
  // Largest number of floats a sample may hold, so that every index fits in an int.
  static constexpr long long kMaxValues = 2147483647LL;

  // A zero-filled sample. channels >= 1, frames >= 0, channels * frames <= kMaxValues.
  Sample(int channels, int frames, float rate);
  ~Sample() override;

  // Reads an audio file; null with a message in `error` when it cannot be read.
  static Sample *load(const std::string &path, std::string &error);

  int channels() const { return mChannels; }
  int frames() const { return mFrames; }
  float rate() const { return mRate; }
  float *data() { return mData.data(); }
  const float *data() const { return mData.data(); }

private:
  // Frames read from a file at a time.
  static constexpr int kReadBlockFrames = 1 << 16;

  int mChannels;
  int mFrames;
  float mRate;
  std::vector<float> mData;
};

} // namespace od
