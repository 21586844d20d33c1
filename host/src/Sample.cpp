#include <od/Sample.h>

#include <sndfile.h>

#include <algorithm>
#include <memory>

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
  // The header's length is only a claim: the data is read in blocks, so memory follows what
  // the file really holds.
  std::unique_ptr<SNDFILE, int (*)(SNDFILE *)> closer(file, sf_close); // also when an allocation fails
  std::vector<float> data;
  const sf_count_t claimed = info.frames;
  const sf_count_t block = kReadBlockFrames;
  sf_count_t read = 0;
  while (read < claimed) {
    const sf_count_t want = std::min(block, claimed - read);
    data.resize((size_t)(read + want) * (size_t)info.channels);
    const sf_count_t got = sf_readf_float(file, data.data() + (size_t)read * (size_t)info.channels, want);
    read += got > 0 ? got : 0;
    if (got < want) break;
  }
  closer.reset();
  if (read != claimed) {
    error = "cannot read '" + path + "': the file ends early";
    return nullptr;
  }
  Sample *sample = new Sample(info.channels, 0, (float)info.samplerate);
  sample->mData.swap(data);
  sample->mFrames = (int)read;
  return sample;
}

} // namespace od
