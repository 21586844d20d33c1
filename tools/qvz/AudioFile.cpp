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
} // namespace

std::string temporaryNameFor(const std::string &path) {
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
  return folder + "." + file + ".qvz-" + std::to_string((long)getpid()) + ".tmp";
}

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
  if (info.frames >= 0 && info.frames < SF_COUNT_MAX) {
    mFileFrames = (long)info.frames;
  } else {
    // A length the header does not state: counted by reading the file once.
    sf_count_t got;
    while ((got = sf_readf_float(mFile, mBlock.data(), kReadBlockFrames)) > 0) mFileFrames += (long)got;
    if (sf_error(mFile) != SF_ERR_NO_ERROR) fail("cannot read input '" + path + "': " + sf_error_number(sf_error(mFile)));
    if (sf_seek(mFile, 0, SEEK_SET) != 0) fail("cannot read input '" + path + "': it does not rewind");
  }
  mDeliverable = mFileFrames;
}

AudioReader::~AudioReader() {
  delete mConverter;
  if (mFile) sf_close(mFile);
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

void AudioReader::read(float *const *out, int count) {
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
}

WavWriter::WavWriter(const std::string &path, int channels, int sampleRate)
    : mPath(path), mTemporary(temporaryNameFor(path)), mChannels(channels) {
  SF_INFO info;
  std::memset(&info, 0, sizeof info);
  info.channels = channels;
  info.samplerate = sampleRate;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  mFile = sf_open(mTemporary.c_str(), SFM_WRITE, &info);
  if (!mFile) throw Failure("cannot write '" + path + "': " + sf_strerror(nullptr));
  // The PEAK chunk carries the time of writing; without it equal renders give equal files.
  sf_command(mFile, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
  mPending.reserve(kWriteBlockFrames * (size_t)channels);
}

WavWriter::~WavWriter() {
  if (mFile) {
    sf_close(mFile);
    std::remove(mTemporary.c_str());
  }
}

void WavWriter::write(const float *interleaved, long frames) {
  mPending.insert(mPending.end(), interleaved, interleaved + frames * mChannels);
  if (mPending.size() >= kWriteBlockFrames * (size_t)mChannels) flush();
}

void WavWriter::flush() {
  const sf_count_t frames = (sf_count_t)(mPending.size() / (size_t)mChannels);
  if (frames > 0 && sf_writef_float(mFile, mPending.data(), frames) != frames)
    throw Failure("cannot write '" + mPath + "': " + sf_strerror(mFile));
  mPending.clear();
}

void WavWriter::commit() {
  flush();
  const int error = sf_close(mFile);
  mFile = nullptr;
  if (error) {
    std::remove(mTemporary.c_str());
    throw Failure("cannot finish '" + mPath + "': " + sf_error_number(error));
  }
  if (std::rename(mTemporary.c_str(), mPath.c_str()) != 0) {
    const std::string reason = std::strerror(errno);
    std::remove(mTemporary.c_str());
    throw Failure("cannot write '" + mPath + "': " + reason);
  }
}

} // namespace qvz
