#include "AudioFile.h"
#include "Failure.h"

#include <samplerate.h>
#include <unistd.h>

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
// Largest frame count reserved from a file's header: 2^31, about 12 hours at 48 kHz.
constexpr sf_count_t kMaxReservedFrames = (sf_count_t)1 << 31;
} // namespace

std::string temporaryNameFor(const std::string &path) {
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
  return folder + "." + file + ".qvz-" + std::to_string((long)getpid()) + ".tmp";
}

Audio readAudio(const std::string &path) {
  SF_INFO info;
  std::memset(&info, 0, sizeof info);
  SNDFILE *file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file) throw Failure("cannot read input '" + path + "': " + sf_strerror(nullptr));
  if (info.channels < 1 || info.samplerate < 1) {
    sf_close(file);
    throw Failure("input '" + path + "' has no channels or no sample rate");
  }
  Audio audio;
  audio.sampleRate = info.samplerate;
  audio.channels.assign(info.channels, {});
  // Room for the whole file up front (a count the header states, when it is a sane one):
  // growing the channels sample by sample costs more than the reading.
  if (info.frames > 0 && info.frames <= kMaxReservedFrames)
    for (std::vector<float> &channel : audio.channels) channel.reserve((size_t)info.frames);
  std::vector<float> block((size_t)kReadBlockFrames * info.channels);
  for (;;) {
    const sf_count_t got = sf_readf_float(file, block.data(), kReadBlockFrames);
    if (got <= 0) break;
    for (int c = 0; c < info.channels; c++)
      for (sf_count_t i = 0; i < got; i++) audio.channels[c].push_back(block[(size_t)i * info.channels + c]);
  }
  const int error = sf_error(file);
  sf_close(file);
  if (error != SF_ERR_NO_ERROR) throw Failure("cannot read input '" + path + "': " + sf_error_number(error));
  return audio;
}

Audio resample(const Audio &audio, int sampleRate) {
  if (audio.sampleRate == sampleRate) return audio;
  const double ratio = (double)sampleRate / audio.sampleRate;
  const long inFrames = audio.frames();
  const long outFrames = (long)std::ceil(inFrames * ratio);
  Audio result;
  result.sampleRate = sampleRate;
  for (const std::vector<float> &channel : audio.channels) {
    std::vector<float> out((size_t)outFrames + 1);
    SRC_DATA data;
    std::memset(&data, 0, sizeof data);
    data.data_in = channel.data();
    data.input_frames = inFrames;
    data.data_out = out.data();
    data.output_frames = (long)out.size();
    data.src_ratio = ratio;
    const int error = src_simple(&data, SRC_SINC_BEST_QUALITY, 1);
    if (error) throw Failure(std::string("cannot resample the input: ") + src_strerror(error));
    out.resize((size_t)data.output_frames_gen);
    out.resize((size_t)outFrames, 0.0f);
    result.channels.push_back(std::move(out));
  }
  return result;
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
