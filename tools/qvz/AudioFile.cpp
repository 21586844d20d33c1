#include "AudioFile.h"
#include "Failure.h"

#include <samplerate.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace qvz {

namespace {
// Frames read per call while loading a file.
constexpr sf_count_t kReadBlockFrames = 65536;
// Frames gathered before a write: one write call per block rather than per host frame.
constexpr size_t kWriteBlockFrames = 16384;
// Frames the sample-rate converter takes and gives per call.
constexpr long kConvertBlockFrames = 16384;
// Room for the WAV or RF64 header and its chunks, in the free-space check.
constexpr long long kHeaderBytes = 4096;
// The dither source's start from the seed, and its 53 top bits as a fraction of one.
constexpr uint64_t kDitherSeedMix = 0x9E3779B97F4A7C15ULL;
constexpr uint64_t kDitherSeedScale = 0xBF58476D1CE4E5B9ULL;
constexpr double kUnitPerState = 1.0 / 9007199254740992.0;
} // namespace

// The sample-rate converter's state: one converter per channel, fed the same blocks of the
// file, each giving the same number of frames (the count depends on positions, not on values).
struct AudioReader::Converter {
  double ratio = 1.0;
  std::vector<SRC_STATE *> states;
  std::vector<std::vector<float>> in, out; // per channel
  long inFrames = 0, inUsed = 0;
  long outFrames = 0, outUsed = 0;
  bool finished = false; // the converter has given its last frame

  ~Converter() {
    for (SRC_STATE *state : states) src_delete(state);
  }
};

AudioReader::AudioReader(const std::string &path) : mPath(path) {
  SF_INFO info;
  std::memset(&info, 0, sizeof info);
  mFile = sf_open(path.c_str(), SFM_READ, &info);
  if (!mFile) throw Failure("cannot read input '" + path + "': " + sf_strerror(nullptr));
  if (info.channels < 1 || info.samplerate < 1) {
    sf_close(mFile);
    mFile = nullptr;
    throw Failure("input '" + path + "' has no channels or no sample rate");
  }
  mChannels = info.channels;
  mFileRate = info.samplerate;
  mBlock.resize((size_t)kReadBlockFrames * mChannels);
  if (info.frames >= 0 && info.frames < SF_COUNT_MAX && holdsFrames(info)) {
    mFileFrames = (long)info.frames;
  } else {
    // A length the header does not state: counted by reading the file once.
    sf_count_t got;
    while ((got = sf_readf_float(mFile, mBlock.data(), kReadBlockFrames)) > 0) mFileFrames += (long)got;
    if (sf_error(mFile) != SF_ERR_NO_ERROR) fail("cannot read input '" + path + "': " + sf_error_number(sf_error(mFile)));
    if (!info.seekable || path == "-") fail("cannot read input '" + path + "': its length is unknown and it does not rewind");
    reopen();
  }
  mDeliverable = mFileFrames;
}

AudioReader::~AudioReader() {
  delete mConverter;
  if (mFile) sf_close(mFile);
}

// Whether the last frame the header claims can be read (then rewinds). A file that cannot
// seek is taken at its word; its reads still end where its data does.
bool AudioReader::holdsFrames(const SF_INFO &info) {
  if (!info.seekable || info.frames == 0 || mPath == "-") return true;
  const bool holds = sf_seek(mFile, info.frames - 1, SEEK_SET) == info.frames - 1 &&
                     sf_readf_float(mFile, mBlock.data(), 1) == 1;
  reopen();
  return holds;
}

// Back to the first frame. A decoder that failed a seek may not seek again, so the file is
// opened anew.
void AudioReader::reopen() {
  sf_close(mFile);
  SF_INFO info;
  std::memset(&info, 0, sizeof info);
  mFile = sf_open(mPath.c_str(), SFM_READ, &info);
  if (!mFile) fail("cannot read input '" + mPath + "' again: " + sf_strerror(nullptr));
}

void AudioReader::fail(const std::string &what) const {
  throw Failure(what);
}

void AudioReader::convertTo(int sampleRate) {
  if (sampleRate == mFileRate || mConverter) return;
  mConverter = new Converter;
  mConverter->ratio = (double)sampleRate / mFileRate;
  for (int c = 0; c < mChannels; c++) {
    int error = 0;
    SRC_STATE *state = src_new(SRC_SINC_BEST_QUALITY, 1, &error);
    if (!state) fail(std::string("cannot resample the input: ") + src_strerror(error));
    mConverter->states.push_back(state);
  }
  mConverter->in.assign(mChannels, std::vector<float>((size_t)kConvertBlockFrames));
  mConverter->out.assign(mChannels, std::vector<float>((size_t)kConvertBlockFrames));
  mDeliverable = (long)std::ceil(mFileFrames * mConverter->ratio);
}

long AudioReader::readFile(float *const *out, long offset, long count) {
  long done = 0;
  while (done < count && !mEnd) {
    if (mBlockUsed == mBlockFrames) {
      const sf_count_t got = sf_readf_float(mFile, mBlock.data(), kReadBlockFrames);
      if (got <= 0) {
        const int error = sf_error(mFile);
        if (error != SF_ERR_NO_ERROR) fail("cannot read input '" + mPath + "': " + sf_error_number(error));
        mEnd = true;
        break;
      }
      mBlockFrames = (long)got;
      mBlockUsed = 0;
    }
    const long n = std::min(count - done, mBlockFrames - mBlockUsed);
    const float *from = mBlock.data() + (size_t)mBlockUsed * mChannels;
    if (mChannels == 2) {
      float *left = out[0] + offset + done, *right = out[1] + offset + done;
      for (long i = 0; i < n; i++) {
        left[i] = from[2 * i];
        right[i] = from[2 * i + 1];
      }
    } else {
      for (int c = 0; c < mChannels; c++) {
        float *to = out[c] + offset + done;
        for (long i = 0; i < n; i++) to[i] = from[(size_t)i * mChannels + c];
      }
    }
    mBlockUsed += n;
    done += n;
  }
  return done;
}

int AudioReader::read(float *const *out, int count) {
  long filled = 0;
  const long wanted = std::min((long)count, std::max(mDeliverable - mDelivered, 0L));
  if (!mConverter) {
    filled = readFile(out, 0, wanted);
  } else {
    Converter &k = *mConverter;
    std::vector<float *> in(mChannels);
    while (filled < wanted) {
      if (k.outUsed < k.outFrames) {
        const long n = std::min(wanted - filled, k.outFrames - k.outUsed);
        for (int c = 0; c < mChannels; c++) std::memcpy(out[c] + filled, k.out[c].data() + k.outUsed, (size_t)n * sizeof(float));
        k.outUsed += n;
        filled += n;
        continue;
      }
      if (k.finished) break;
      if (k.inUsed == k.inFrames && !mEnd) {
        for (int c = 0; c < mChannels; c++) in[c] = k.in[c].data();
        k.inFrames = readFile(in.data(), 0, kConvertBlockFrames);
        k.inUsed = 0;
      }
      long used = -1, generated = -1;
      for (int c = 0; c < mChannels; c++) {
        SRC_DATA data;
        std::memset(&data, 0, sizeof data);
        data.data_in = k.in[c].data() + k.inUsed;
        data.input_frames = k.inFrames - k.inUsed;
        data.data_out = k.out[c].data();
        data.output_frames = kConvertBlockFrames;
        data.src_ratio = k.ratio;
        data.end_of_input = mEnd ? 1 : 0;
        const int error = src_process(k.states[c], &data);
        if (error) fail(std::string("cannot resample the input: ") + src_strerror(error));
        if (c > 0 && (data.input_frames_used != used || data.output_frames_gen != generated))
          fail("cannot resample the input: its channels came out of step");
        used = data.input_frames_used;
        generated = data.output_frames_gen;
      }
      k.inUsed += used;
      k.outFrames = generated;
      k.outUsed = 0;
      // At the end of the file, a call that gives nothing means the converter is drained.
      if (mEnd && generated == 0) k.finished = true;
    }
  }
  for (int c = 0; c < mChannels; c++) std::fill(out[c] + filled, out[c] + count, 0.0f);
  mDelivered += count;
  return (int)filled;
}

WavWriter::WavWriter(const std::string &path, int channels, int sampleRate, const WavFormat &format)
    : mOutput(std::make_unique<OutputFile>(path, "")), mChannels(channels), mFormat(format), mClipped(channels, 0),
      mDitherState(kDitherSeedMix ^ ((uint64_t)format.seed * kDitherSeedScale)) {
  SF_INFO info;
  std::memset(&info, 0, sizeof info);
  info.channels = channels;
  info.samplerate = sampleRate;
  const int encoding = format.bits == 16 ? SF_FORMAT_PCM_16 : format.bits == 24 ? SF_FORMAT_PCM_24 : SF_FORMAT_FLOAT;
  info.format = SF_FORMAT_RF64 | encoding;
  mFile = sf_open_fd(mOutput->descriptor(), SFM_WRITE, &info, SF_FALSE);
  if (!mFile) throw Failure("cannot write '" + path + "': " + sf_strerror(nullptr));
  // Plain WAV unless the file grows past what its 32-bit sizes can say. (Written this way the
  // file carries no PEAK chunk, whose time of writing would make equal renders differ.)
  if (!format.alwaysRf64) sf_command(mFile, SFC_RF64_AUTO_DOWNGRADE, nullptr, SF_TRUE);
  if (format.bits == 32) mPending.reserve(kWriteBlockFrames * (size_t)channels);
  else mPendingInts.reserve(kWriteBlockFrames * (size_t)channels);
}

WavWriter::~WavWriter() {
  if (mFile) sf_close(mFile);
}

bool WavWriter::toStandardOutput() const { return mOutput->toStandardOutput(); }

void WavWriter::checkSpace(long frames) const {
  const long long needed = (long long)frames * mChannels * (mFormat.bits / 8) + kHeaderBytes;
  const long long free = mOutput->freeBytes();
  if (free >= 0 && needed > free) {
    char text[160];
    std::snprintf(text, sizeof text, "needs %.1f MB but %s has %.1f MB free", needed / 1e6,
                  mOutput->temporaryFolder().c_str(), free / 1e6);
    throw Failure("cannot write '" + mOutput->path() + "': the render " + text);
  }
}

// Uniform in [-0.5, 0.5) from a 64-bit xorshift generator: the same on every machine.
float WavWriter::dither() {
  mDitherState ^= mDitherState << 13;
  mDitherState ^= mDitherState >> 7;
  mDitherState ^= mDitherState << 17;
  return (float)((double)(mDitherState >> 11) * kUnitPerState - 0.5);
}

void WavWriter::write(const float *interleaved, long frames) {
  if (mFormat.bits == 32) {
    mPending.insert(mPending.end(), interleaved, interleaved + frames * mChannels);
    if (mPending.size() >= kWriteBlockFrames * (size_t)mChannels) flush();
    return;
  }
  // Integer samples are written left-aligned in 32 bits, which libsndfile narrows exactly.
  const double steps = mFormat.bits == 16 ? 32768.0 : 8388608.0;
  const int shift = 32 - mFormat.bits;
  for (long i = 0; i < frames * mChannels; i++) {
    const float x = interleaved[i];
    const int channel = (int)(i % mChannels);
    // Digital silence stays silent.
    if (x == 0.0f) {
      mPendingInts.push_back(0);
      continue;
    }
    double level = std::isfinite(x) ? (double)x * steps : 0.0;
    // Triangular dither of one step peak to peak each way: the sum of two uniform values.
    level = std::floor(level + dither() + dither() + 0.5);
    if (level > steps - 1.0 || level < -steps) {
      if (x > 1.0f || x < -1.0f) mClipped[channel]++;
      level = std::clamp(level, -steps, steps - 1.0);
    }
    mPendingInts.push_back((int)((int64_t)level * (1LL << shift)));
  }
  if (mPendingInts.size() >= kWriteBlockFrames * (size_t)mChannels) flush();
}

void WavWriter::flush() {
  const size_t pending = mFormat.bits == 32 ? mPending.size() : mPendingInts.size();
  const sf_count_t frames = (sf_count_t)(pending / (size_t)mChannels);
  if (frames > 0) {
    const sf_count_t written = mFormat.bits == 32 ? sf_writef_float(mFile, mPending.data(), frames)
                                                  : sf_writef_int(mFile, mPendingInts.data(), frames);
    if (written != frames) throw Failure("cannot write '" + mOutput->path() + "': " + sf_strerror(mFile));
  }
  mPending.clear();
  mPendingInts.clear();
}

void WavWriter::commit() {
  flush();
  const int error = sf_close(mFile);
  mFile = nullptr;
  if (error) throw Failure("cannot finish '" + mOutput->path() + "': " + sf_error_number(error));
  mOutput->commit();
}

} // namespace qvz
