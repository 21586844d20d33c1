#include <od/Sample.h>

#include <sndfile.h>

namespace od {

Sample::Sample(int channels, int frames, float rate)
    : mChannels(channels), mFrames(frames), mRate(rate), mData((size_t)channels * (size_t)frames, 0.0f) {}

Sample::~Sample() = default;

Sample *Sample::load(const std::string &path, std::string &error) {
  SF_INFO info{};
  SNDFILE *file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file) {
    error = "cannot read '" + path + "': " + sf_strerror(nullptr);
    return nullptr;
  }
  if (info.channels < 1 || info.frames < 0 || info.samplerate <= 0 ||
      (long long)info.channels * (long long)info.frames > kMaxValues) {
    sf_close(file);
    error = "cannot read '" + path + "': unsupported channel count, length or rate";
    return nullptr;
  }
  Sample *sample = new Sample(info.channels, (int)info.frames, (float)info.samplerate);
  const sf_count_t read = sf_readf_float(file, sample->data(), info.frames);
  sf_close(file);
  if (read != info.frames) {
    delete sample;
    error = "cannot read '" + path + "': the file ends early";
    return nullptr;
  }
  return sample;
}

} // namespace od
