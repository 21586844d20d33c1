// Fuzz target: the input bytes as an audio file, opened by the host's sample loader and by
// qvz's streaming reader (with and without rate conversion). Either may refuse the file; neither
// may read outside its memory, nor allocate for frames the file does not hold.

#include "../../tools/qvz/AudioFile.h"
#include "../../tools/qvz/Failure.h"

#include <od/Sample.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {
// Frames qvz's reader is asked for: enough to pass several of its read blocks.
constexpr int kReadFrames = 4096;
constexpr int kReadCalls = 40;
// Rates the reader converts to, picked by the input's last byte.
constexpr int kRates[] = {0, 8000, 44100, 48000, 96000, 192000};

std::string scratchPath() { return "/tmp/qvz-fuzz-audio-" + std::to_string(getpid()); }

bool writeFile(const std::string &path, const uint8_t *data, size_t size) {
  FILE *file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written = std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && written;
}

void readWithQvz(const std::string &path, int rate) {
  try {
    qvz::AudioReader reader(path);
    if (rate > 0) reader.convertTo(rate);
    std::vector<std::vector<float>> channels(reader.channels(), std::vector<float>(kReadFrames));
    std::vector<float *> out;
    for (std::vector<float> &c : channels) out.push_back(c.data());
    for (int i = 0; i < kReadCalls; i++) reader.read(out.data(), kReadFrames);
  } catch (const qvz::Failure &) {
    // a refused file
  }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const std::string path = scratchPath();
  if (!writeFile(path, data, size)) return 0;
  std::string error;
  if (od::Sample *sample = od::Sample::load(path, error)) {
    sample->attach();
    sample->release();
  }
  const int rate = size ? kRates[data[size - 1] % (sizeof kRates / sizeof kRates[0])] : 0;
  readWithQvz(path, rate);
  unlink(path.c_str());
  return 0;
}
