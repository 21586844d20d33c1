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

// Reads any file libsndfile reads, a block at a time, optionally converted to another rate
// with libsamplerate's best sinc converter (each channel on its own, streamed). Failures throw
// Failure naming the file.
class AudioReader {
public:
  explicit AudioReader(const std::string &path);
  ~AudioReader();
  AudioReader(const AudioReader &) = delete;
  AudioReader &operator=(const AudioReader &) = delete;

  int channels() const { return mChannels; }
  // The file's own rate and length in frames.
  int fileRate() const { return mFileRate; }
  long fileFrames() const { return mFileFrames; }
  // From now on read() delivers frames at this rate: ceil(fileFrames * rate / fileRate) of
  // them, then silence. Call before the first read().
  void convertTo(int sampleRate);
  // Fills out[c][0..count) of every channel with the next `count` frames; past the end of the
  // input with zeros.
  void read(float *const *out, int count);

private:
  struct Converter;
  // Next frames of the file, deinterleaved into out[c] + offset; returns how many (0 at the end).
  long readFile(float *const *out, long offset, long count);
  void fail(const std::string &what) const;

  std::string mPath;
  SNDFILE *mFile = nullptr;
  int mChannels = 0;
  int mFileRate = 0;
  long mFileFrames = 0;
  long mDelivered = 0;  // frames handed out by read()
  long mDeliverable = 0; // frames read() hands out before it pads with silence
  std::vector<float> mBlock; // interleaved frames read from the file, not yet used
  long mBlockFrames = 0;
  long mBlockUsed = 0;
  bool mEnd = false;
  Converter *mConverter = nullptr;
};

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
