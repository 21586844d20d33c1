#pragma once

#include <sndfile.h>

#include <string>
#include <vector>

namespace qvz {

// Audio held in memory, one vector per channel.
struct Audio {
  int sampleRate = 0;
  std::vector<std::vector<float>> channels;

  long frames() const { return channels.empty() ? 0 : (long)channels[0].size(); }
};

// Reads any file libsndfile reads; throws Failure naming the file when it cannot.
Audio readAudio(const std::string &path);

// The same audio at another rate, converted with libsamplerate's best sinc converter.
Audio resample(const Audio &audio, int sampleRate);

// Writes a 32-bit float WAV under a temporary name beside the destination; commit()
// renames it into place. Destroyed without commit(), it removes the temporary file, so a
// failed render never leaves a partial file under the requested name.
class WavWriter {
public:
  WavWriter(const std::string &path, int channels, int sampleRate);
  ~WavWriter();
  WavWriter(const WavWriter &) = delete;
  WavWriter &operator=(const WavWriter &) = delete;

  // Appends frames of interleaved samples. They are gathered and written in blocks; commit()
  // writes what is left, so a failure to write shows at the latest there.
  void write(const float *interleaved, long frames);
  void commit();

private:
  void flush();

  std::string mPath;
  std::string mTemporary;
  SNDFILE *mFile = nullptr;
  int mChannels;
  std::vector<float> mPending; // interleaved frames not yet written
};

// A temporary name in the destination's folder, unique to this process.
std::string temporaryNameFor(const std::string &path);

} // namespace qvz
