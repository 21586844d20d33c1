#pragma once

#include "OutputFile.h"

#include <sndfile.h>

#include <cstdint>
#include <memory>

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
  // The file's own rate and length in frames: what the file holds, whatever its header
  // claims (a claim that cannot be read to its end is counted).
  int fileRate() const { return mFileRate; }
  long fileFrames() const { return mFileFrames; }
  // From now on read() delivers frames at this rate: ceil(fileFrames * rate / fileRate) of
  // them, then silence. Call before the first read().
  void convertTo(int sampleRate);
  // Fills out[c][0..count) of every channel with the next `count` frames; past the end of the
  // input with zeros. Returns how many frames came from the input.
  int read(float *const *out, int count);

private:
  struct Converter;
  // Next frames of the file, deinterleaved into out[c] + offset; returns how many (0 at the end).
  long readFile(float *const *out, long offset, long count);
  void fail(const std::string &what) const;
  bool holdsFrames(const SF_INFO &info);
  void reopen();

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

// How a render is stored: 32-bit float, or 16/24-bit integers with TPDF dither from a
// seeded source (equal seeds give equal files). The file is RF64 when it passes 4 GiB (or
// always, when asked), else plain WAV.
struct WavFormat {
  int bits = 32;
  bool alwaysRf64 = false;
  unsigned seed = 0;
};

// Writes a WAV through an OutputFile: nothing appears under the name until commit().
class WavWriter {
public:
  WavWriter(const std::string &path, int channels, int sampleRate, const WavFormat &format);
  ~WavWriter();
  WavWriter(const WavWriter &) = delete;
  WavWriter &operator=(const WavWriter &) = delete;

  // Fails naming the numbers when `frames` would not fit on the disk the file is made on.
  void checkSpace(long frames) const;
  // Appends frames of interleaved samples. They are gathered and written in blocks; commit()
  // writes what is left, so a failure to write shows at the latest there.
  void write(const float *interleaved, long frames);
  void commit();
  // Samples of each channel beyond full scale that an integer format had to clip.
  const std::vector<long> &clipped() const { return mClipped; }
  bool toStandardOutput() const;

private:
  void flush();
  float dither();

  std::unique_ptr<OutputFile> mOutput;
  SNDFILE *mFile = nullptr;
  int mChannels;
  WavFormat mFormat;
  std::vector<float> mPending; // interleaved frames not yet written (float formats)
  std::vector<int> mPendingInts; // the same, for integer formats
  std::vector<long> mClipped;
  uint64_t mDitherState;
};

} // namespace qvz
