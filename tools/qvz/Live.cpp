#include "Live.h"
#include "AudioFile.h"
#include "Failure.h"
#include "Patch.h"

#include <od/Midi.h>
#include <od/Random.h>
#include <od/config.h>

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

namespace qvz {

namespace {

constexpr int kMaxPeriod = 8192;                // largest JACK period the client accepts, samples
constexpr double kCrossfadeSeconds = 0.020;     // from the old patch to a reloaded one
constexpr int kMidiQueue = 1024;                // MIDI messages waiting for their frame
constexpr double kRecordBufferSeconds = 4.0;    // of audio between the callback and the disk
constexpr int kRecordChunk = 4096;              // frames the recording thread writes at once
constexpr auto kRecordIdle = std::chrono::milliseconds(10);
constexpr int kPollMilliseconds = 50;           // how often the main thread looks around
constexpr double kReloadSettle = 0.05;          // seconds after a change before reloading
constexpr double kTerminalStatusInterval = 0.5; // seconds between status lines on a terminal
constexpr double kLogStatusInterval = 10.0;     // seconds between status lines in a log
constexpr int kSilentInputChannels = 2;         // qvz.inputs with --inputs 0, as in a render
constexpr double kMicroseconds = 1e6;
constexpr float kPermille = 1000.0f;

volatile std::sig_atomic_t gStop = 0;
volatile std::sig_atomic_t gReload = 0;
void onStop(int) { gStop = 1; }
void onHangUp(int) { gReload = 1; }
void quiet(const char *) {}

std::string decibels(float level) {
  if (!(level > 0.0f)) return "-inf";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", 20.0 * std::log10(level));
  return text;
}

// Raises a shared maximum from one writer; the reader takes it with exchange().
template <typename T> void raise(std::atomic<T> &maximum, T value) {
  if (value > maximum.load(std::memory_order_relaxed)) maximum.store(value, std::memory_order_relaxed);
}

// What the client plays writes itself to a WAV: the audio thread puts frames into a lock-free
// ring, a thread of its own drains the ring into the file.
class Recorder {
public:
  Recorder(const std::string &path, int channels, int sampleRate, long limit)
      : mWriter(path, channels, sampleRate, WavFormat{}), mChannels(channels), mLimit(limit) {
    const size_t bytes = (size_t)(kRecordBufferSeconds * sampleRate) * channels * sizeof(float);
    mRing = jack_ringbuffer_create(bytes);
    if (!mRing) throw Failure("cannot make the recording buffer");
    jack_ringbuffer_mlock(mRing);
    mThread = std::thread([this] { drain(); });
  }

  ~Recorder() {
    stop();
    jack_ringbuffer_free(mRing);
  }

  // Audio thread: appends interleaved frames, up to the limit. Frames that find the ring full
  // are counted as lost.
  void push(const float *interleaved, int frames) {
    if (mLimit >= 0) frames = (int)std::min<long>(frames, mLimit - mPushed);
    if (frames <= 0) return;
    const size_t bytes = (size_t)frames * mChannels * sizeof(float);
    if (jack_ringbuffer_write_space(mRing) < bytes) mLost.fetch_add(frames, std::memory_order_relaxed);
    else jack_ringbuffer_write(mRing, reinterpret_cast<const char *>(interleaved), bytes);
    mPushed += frames;
  }

  // Main thread, after the audio has stopped: writes the rest and puts the file in place.
  void finish() {
    stop();
    if (!mError.empty()) throw Failure(mError);
    const long lost = mLost.load();
    if (lost) throw Failure("the recording lost " + std::to_string(lost) + " frames (the disk was too slow); nothing written");
    mWriter.commit();
  }

private:
  void stop() {
    mStopping.store(true, std::memory_order_release);
    if (mThread.joinable()) mThread.join();
  }

  void drain() {
    std::vector<float> chunk((size_t)kRecordChunk * mChannels);
    const size_t frameBytes = (size_t)mChannels * sizeof(float);
    for (;;) {
      const bool stopping = mStopping.load(std::memory_order_acquire);
      const size_t frames = std::min<size_t>(jack_ringbuffer_read_space(mRing) / frameBytes, kRecordChunk);
      if (frames == 0) {
        if (stopping) return;
        std::this_thread::sleep_for(kRecordIdle);
        continue;
      }
      jack_ringbuffer_read(mRing, reinterpret_cast<char *>(chunk.data()), frames * frameBytes);
      try {
        mWriter.write(chunk.data(), (long)frames);
      } catch (const std::exception &error) {
        mError = error.what();
        return;
      }
    }
  }

  WavWriter mWriter;
  int mChannels;
  long mLimit;
  long mPushed = 0; // audio thread only
  jack_ringbuffer_t *mRing = nullptr;
  std::thread mThread;
  std::atomic<bool> mStopping{false};
  std::atomic<long> mLost{0};
  std::string mError;
};

struct MidiAt {
  uint64_t position; // sample of the input stream
  od::MidiEvent event;
};

// The JACK side: ports, the process callback and what it shares with the main thread.
// The callback re-blocks JACK's period into the patch's frame with a fixed latency of
// frameLength - gcd(period, frameLength) samples, runs the patch (and, for 20 ms after a
// reload, the previous one beside it), and hands what it plays to the recorder.
class Engine {
public:
  Engine(jack_client_t *client, int inputs, int outputs, int frameLength)
      : mClient(client), mSampleRate((int)jack_get_sample_rate(client)), mInputs(inputs), mOutputs(outputs),
        mFrame(frameLength),
        mFadeLength(std::max(1, (int)std::lround(kCrossfadeSeconds * mSampleRate))),
        mPeaks(new std::atomic<float>[outputs]), mRecordScratch((size_t)frameLength * outputs) {
    for (int c = 0; c < inputs; c++) {
      jack_port_t *port = registerPort("in_" + std::to_string(c + 1), JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput);
      mInputPorts.push_back(port);
      mInputFifo.emplace_back((size_t)frameLength + kMaxPeriod, 0.0f);
    }
    for (int c = 0; c < outputs; c++) {
      mOutputPorts.push_back(registerPort("out_" + std::to_string(c + 1), JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput));
      mOutputFifo.emplace_back(2 * ((size_t)frameLength + kMaxPeriod), 0.0f);
      mPeaks[c].store(0.0f);
    }
    mMidiPort = registerPort("midi_in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput);
    mMidiQueue.resize(kMidiQueue);
    mMidiFrame.resize(od::MidiFrame::kCapacity);
    reset((int)jack_get_buffer_size(client));

    jack_set_process_callback(client, process, this);
    jack_set_buffer_size_callback(client, bufferSize, this);
    jack_set_xrun_callback(client, xrun, this);
    jack_set_latency_callback(client, latency, this);
    jack_on_shutdown(client, shutdown, this);
  }

  ~Engine() {
    deactivate();
    delete mCurrent;
    delete mFading;
    delete mPending.load();
    delete mRetired.load();
  }

  void start(LoadedPatch *first, Recorder *recorder) {
    mCurrent = first;
    mRecorder = recorder;
    if (jack_activate(mClient) != 0) throw Failure("cannot activate the JACK client");
    mActive = true;
  }

  void deactivate() {
    if (mActive) jack_deactivate(mClient);
    mActive = false;
  }

  // Main thread. A reload waits until the previous one has been taken.
  bool canSwap() const { return mPending.load(std::memory_order_acquire) == nullptr; }
  void swapIn(LoadedPatch *patch) { mPending.store(patch, std::memory_order_release); }
  // The patch a finished crossfade let go of, to be freed here rather than on the audio thread.
  LoadedPatch *takeRetired() { return mRetired.exchange(nullptr, std::memory_order_acq_rel); }

  int latency() const { return mLatency.load(); }
  int period() const { return mPeriod.load(); }
  long produced() const { return mProduced.load(std::memory_order_relaxed); }
  long xruns() const { return mXruns.load(); }
  bool serverGone() const { return mServerGone.load(); }
  bool periodTooLong() const { return mPeriodTooLong.load(); }
  int outputs() const { return mOutputs; }
  float takePeak(int channel) { return mPeaks[channel].exchange(0.0f, std::memory_order_relaxed); }
  // Share of the period spent in the callback: since the last call (highest) and overall (mean).
  float takeMaxLoad() { return mMaxLoad.exchange(0, std::memory_order_relaxed) / kPermille; }
  float meanLoad() const {
    const double period = (double)mPeriodMicros.load(std::memory_order_relaxed);
    return period > 0.0 ? (float)(mBusyMicros.load(std::memory_order_relaxed) / period) : 0.0f;
  }

  void connectToSystem() {
    connectPhysical(JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, mInputPorts, true);
    connectPhysical(JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, mOutputPorts, false);
    std::vector<jack_port_t *> midi{mMidiPort};
    connectPhysical(JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, midi, true);
  }

private:
  jack_port_t *registerPort(const std::string &name, const char *type, unsigned long flags) {
    jack_port_t *port = jack_port_register(mClient, name.c_str(), type, flags, 0);
    if (!port) throw Failure("cannot register the JACK port '" + name + "'");
    return port;
  }

  void connectPhysical(const char *type, unsigned long flags, const std::vector<jack_port_t *> &ours, bool toOurs) {
    const char **system = jack_get_ports(mClient, nullptr, type, JackPortIsPhysical | flags);
    if (!system) return;
    for (size_t i = 0; i < ours.size() && system[i]; i++) {
      const char *mine = jack_port_name(ours[i]);
      if (toOurs) jack_connect(mClient, system[i], mine);
      else jack_connect(mClient, mine, system[i]);
    }
    jack_free(system);
  }

  // Empties the FIFOs for a new period; the output FIFO starts with the latency's silence.
  void reset(int period) {
    mPeriod.store(period);
    mLatency.store(mFrame - std::gcd(period, mFrame));
    mInputFill = 0;
    mOutputFill = mLatency.load();
    for (std::vector<float> &fifo : mOutputFifo) std::fill(fifo.begin(), fifo.begin() + mOutputFill, 0.0f);
    mFifoStart = mStreamPosition;
    mMidiCount = 0;
  }

  static int bufferSize(jack_nframes_t frames, void *arg) {
    static_cast<Engine *>(arg)->reset((int)frames);
    return 0;
  }

  static int xrun(void *arg) {
    static_cast<Engine *>(arg)->mXruns.fetch_add(1);
    return 0;
  }

  static void shutdown(void *arg) { static_cast<Engine *>(arg)->mServerGone.store(true); }

  static void latency(jack_latency_callback_mode_t mode, void *arg) {
    Engine *self = static_cast<Engine *>(arg);
    const bool capture = mode == JackCaptureLatency;
    // Capture latency flows from our inputs to our outputs, playback latency the other way.
    std::vector<jack_port_t *> from = capture ? self->mInputPorts : self->mOutputPorts;
    std::vector<jack_port_t *> to = capture ? self->mOutputPorts : self->mInputPorts;
    if (capture) from.push_back(self->mMidiPort);
    else to.push_back(self->mMidiPort);
    jack_latency_range_t range{0, 0};
    bool first = true;
    for (jack_port_t *port : from) {
      if (jack_port_connected(port) <= 0) continue; // an idle port carries nothing to delay
      jack_latency_range_t r;
      jack_port_get_latency_range(port, mode, &r);
      range.min = first ? r.min : std::min(range.min, r.min);
      range.max = first ? r.max : std::max(range.max, r.max);
      first = false;
    }
    const jack_nframes_t ours = (jack_nframes_t)self->mLatency.load();
    range.min += ours;
    range.max += ours;
    for (jack_port_t *port : to) jack_port_set_latency_range(port, mode, &range);
  }

  static int process(jack_nframes_t frames, void *arg) { return static_cast<Engine *>(arg)->run((int)frames); }

  int run(int frames) OD_NONBLOCKING {
    const jack_time_t started = jack_get_time();
    if (frames > kMaxPeriod) {
      mPeriodTooLong.store(true);
      for (jack_port_t *port : mOutputPorts)
        std::memset(jack_port_get_buffer(port, frames), 0, sizeof(float) * frames);
      return 0;
    }
    for (int c = 0; c < mInputs; c++) {
      const float *in = static_cast<const float *>(jack_port_get_buffer(mInputPorts[c], frames));
      std::memcpy(mInputFifo[c].data() + mInputFill, in, sizeof(float) * frames);
    }
    queueMidi(frames);
    mInputFill += frames;
    mStreamPosition += frames;

    while (mInputFill >= mFrame) runFrame();

    const int available = std::min(mOutputFill, frames);
    for (int c = 0; c < mOutputs; c++) {
      float *out = static_cast<float *>(jack_port_get_buffer(mOutputPorts[c], frames));
      float *fifo = mOutputFifo[c].data();
      std::memcpy(out, fifo, sizeof(float) * available);
      std::memset(out + available, 0, sizeof(float) * (frames - available));
      std::memmove(fifo, fifo + available, sizeof(float) * (mOutputFill - available));
    }
    mOutputFill -= available;

    const double periodMicros = frames * kMicroseconds / mSampleRate;
    const double busy = (double)(jack_get_time() - started);
    mBusyMicros.fetch_add((uint64_t)busy, std::memory_order_relaxed);
    mPeriodMicros.fetch_add((uint64_t)periodMicros, std::memory_order_relaxed);
    raise(mMaxLoad, (int)(busy / periodMicros * kPermille));
    return 0;
  }

  // The period's MIDI messages, stamped with their place in the input stream.
  void queueMidi(int frames) {
    void *buffer = jack_port_get_buffer(mMidiPort, frames);
    const uint32_t count = jack_midi_get_event_count(buffer);
    for (uint32_t i = 0; i < count; i++) {
      jack_midi_event_t event;
      if (jack_midi_event_get(&event, buffer, i) != 0) continue;
      if (event.size < 2 || event.buffer[0] < 0x80 || event.buffer[0] >= 0xF0) continue;
      if (mMidiCount == kMidiQueue) break;
      const uint8_t second = event.size > 2 ? event.buffer[2] : 0;
      mMidiQueue[mMidiCount++] = {mStreamPosition + event.time, {0, event.buffer[0], event.buffer[1], second}};
    }
  }

  // Hands the MIDI messages of the frame starting at mFifoStart to the MIDI objects.
  void feedMidi() {
    const uint64_t end = mFifoStart + mFrame;
    int taken = 0, kept = 0;
    for (; taken < mMidiCount && mMidiQueue[taken].position < end; taken++) {
      if (kept == od::MidiFrame::kCapacity) continue;
      od::MidiEvent event = mMidiQueue[taken].event;
      event.offset = (int)(mMidiQueue[taken].position > mFifoStart ? mMidiQueue[taken].position - mFifoStart : 0);
      mMidiFrame[kept++] = event;
    }
    od::MidiFrame::set(mMidiFrame.data(), kept);
    std::memmove(mMidiQueue.data(), mMidiQueue.data() + taken, sizeof(MidiAt) * (mMidiCount - taken));
    mMidiCount -= taken;
  }

  void feedInputs(LoadedPatch *patch) {
    InputChannels &inputs = patch->session.inputs();
    const int channels = std::min(mInputs, inputs.count());
    for (int c = 0; c < channels; c++) std::memcpy(inputs.buffer(c), mInputFifo[c].data(), sizeof(float) * mFrame);
  }

  static void runGraph(LoadedPatch *patch) {
    od::Random::Scope randomScope(patch->random);
    patch->graph.processFrame();
  }

  void runFrame() {
    // A frame boundary: a reloaded patch waiting here takes over, fading in.
    if (!mFading && !mRetired.load(std::memory_order_acquire)) {
      if (LoadedPatch *next = mPending.exchange(nullptr, std::memory_order_acq_rel)) {
        mFading = mCurrent;
        mCurrent = next;
        mFadePosition = 0;
      }
    }
    mCurrent->changes.apply(mFramesRun);
    feedMidi();
    feedInputs(mCurrent);
    runGraph(mCurrent);
    if (mFading) {
      feedInputs(mFading);
      runGraph(mFading);
    }

    for (int c = 0; c < mOutputs; c++) {
      float *out = mOutputFifo[c].data() + mOutputFill;
      const float *now = mCurrent->outlets[c]->buffer();
      if (mFading) {
        const float *before = mFading->outlets[c]->buffer();
        for (int i = 0; i < mFrame; i++) {
          const float gain = std::min(1.0f, (float)(mFadePosition + i + 1) / mFadeLength);
          out[i] = before[i] + (now[i] - before[i]) * gain;
        }
      } else {
        std::memcpy(out, now, sizeof(float) * mFrame);
      }
      float peak = 0.0f;
      for (int i = 0; i < mFrame; i++) peak = std::max(peak, std::fabs(out[i]));
      raise(mPeaks[c], peak);
      if (mRecorder)
        for (int i = 0; i < mFrame; i++) mRecordScratch[(size_t)i * mOutputs + c] = out[i];
    }
    if (mRecorder) mRecorder->push(mRecordScratch.data(), mFrame);
    mOutputFill += mFrame;

    if (mFading && (mFadePosition += mFrame) >= mFadeLength) {
      mRetired.store(mFading, std::memory_order_release);
      mFading = nullptr;
    }
    mInputFill -= mFrame;
    for (std::vector<float> &fifo : mInputFifo)
      std::memmove(fifo.data(), fifo.data() + mFrame, sizeof(float) * mInputFill);
    mFifoStart += mFrame;
    mFramesRun++;
    mProduced.store(mProduced.load(std::memory_order_relaxed) + mFrame, std::memory_order_relaxed);
  }

  jack_client_t *mClient;
  const int mSampleRate;
  const int mInputs, mOutputs, mFrame, mFadeLength;
  bool mActive = false;
  std::vector<jack_port_t *> mInputPorts, mOutputPorts;
  jack_port_t *mMidiPort = nullptr;

  // Audio thread only (and the buffer-size callback, which JACK never runs beside it).
  std::vector<std::vector<float>> mInputFifo, mOutputFifo;
  int mInputFill = 0, mOutputFill = 0;
  uint64_t mStreamPosition = 0; // input samples received
  uint64_t mFifoStart = 0;      // stream position of the first sample in the input FIFO
  std::vector<MidiAt> mMidiQueue;
  int mMidiCount = 0;
  std::vector<od::MidiEvent> mMidiFrame;
  LoadedPatch *mCurrent = nullptr;
  LoadedPatch *mFading = nullptr;
  int mFadePosition = 0;
  uint64_t mFramesRun = 0;
  Recorder *mRecorder = nullptr;

  // Shared with the main thread.
  std::atomic<LoadedPatch *> mPending{nullptr};
  std::atomic<LoadedPatch *> mRetired{nullptr};
  std::atomic<int> mPeriod{0}, mLatency{0};
  std::atomic<long> mProduced{0}, mXruns{0};
  std::atomic<bool> mServerGone{false}, mPeriodTooLong{false};
  std::unique_ptr<std::atomic<float>[]> mPeaks;
  std::atomic<int> mMaxLoad{0}; // permille
  std::atomic<uint64_t> mBusyMicros{0}, mPeriodMicros{0};
  std::vector<float> mRecordScratch;
};

struct ClientCloser {
  void operator()(jack_client_t *client) const { jack_client_close(client); }
};

std::unique_ptr<jack_client_t, ClientCloser> openClient(const LiveSettings &settings) {
  // libjack explains a missing server over several lines; one line of ours says it instead.
  jack_set_error_function(quiet);
  jack_set_info_function(quiet);
  jack_status_t status{};
  const bool named = !settings.serverName.empty();
  const jack_options_t options = (jack_options_t)(JackNoStartServer | (named ? JackServerName : 0));
  jack_client_t *client = named ? jack_client_open(settings.clientName.c_str(), options, &status, settings.serverName.c_str())
                                : jack_client_open(settings.clientName.c_str(), options, &status);
  if (!client) {
    if (status & JackServerFailed)
      throw Failure(named ? "no JACK server named '" + settings.serverName + "' is running"
                          : "no JACK server is running (start one, e.g. jackd -d alsa, or name one with --server)");
    if (status & JackNameNotUnique) throw Failure("a JACK client named '" + settings.clientName + "' exists already");
    char code[16];
    std::snprintf(code, sizeof code, "0x%x", (unsigned)status);
    throw Failure("the JACK server refused the client '" + settings.clientName + "' (status " + code + ")");
  }
  return std::unique_ptr<jack_client_t, ClientCloser>(client);
}

// Watches the patch's folder: editors often save by writing a new file and renaming it.
class PatchWatch {
public:
  explicit PatchWatch(const std::string &path) {
    const std::string folder = folderOf(path);
    const size_t slash = path.rfind('/');
    mName = slash == std::string::npos ? path : path.substr(slash + 1);
    mFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (mFd >= 0 && inotify_add_watch(mFd, folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO) < 0) {
      close(mFd);
      mFd = -1;
    }
  }
  ~PatchWatch() {
    if (mFd >= 0) close(mFd);
  }
  bool watching() const { return mFd >= 0; }

  // Waits up to the given time; true when the patch file was written or renamed into place.
  bool changed(int milliseconds) {
    if (mFd < 0) {
      poll(nullptr, 0, milliseconds);
      return false;
    }
    pollfd fd{mFd, POLLIN, 0};
    if (poll(&fd, 1, milliseconds) <= 0) return false;
    alignas(inotify_event) char buffer[4096];
    bool hit = false;
    ssize_t length;
    while ((length = read(mFd, buffer, sizeof buffer)) > 0) {
      for (ssize_t at = 0; at < length;) {
        const inotify_event *event = reinterpret_cast<const inotify_event *>(buffer + at);
        if (event->len && mName == event->name) hit = true;
        at += (ssize_t)sizeof(inotify_event) + event->len;
      }
    }
    return hit;
  }

private:
  int mFd = -1;
  std::string mName;
};

class SignalScope {
public:
  SignalScope() {
    gStop = 0;
    gReload = 0;
    mInterrupt = std::signal(SIGINT, onStop);
    mTerminate = std::signal(SIGTERM, onStop);
    mHangUp = std::signal(SIGHUP, onHangUp);
  }
  ~SignalScope() {
    std::signal(SIGINT, mInterrupt);
    std::signal(SIGTERM, mTerminate);
    std::signal(SIGHUP, mHangUp);
  }

private:
  void (*mInterrupt)(int);
  void (*mTerminate)(int);
  void (*mHangUp)(int);
};

std::string peaksText(const std::vector<float> &peaks) {
  std::string text;
  for (float peak : peaks) text += (text.empty() ? "" : " ") + decibels(peak);
  return text + " dBFS";
}

} // namespace

void live(const LiveSettings &settings) {
  if (settings.frameLength < 4 || settings.frameLength > od::kMaxFrameLength || settings.frameLength % 4)
    throw Failure("--frame must be a multiple of 4 from 4 to " + std::to_string(od::kMaxFrameLength));
  const auto client = openClient(settings);
  const int sampleRate = (int)jack_get_sample_rate(client.get());
  if (sampleRate < od::kMinSampleRate || sampleRate > od::kMaxSampleRate)
    throw Failure("the JACK server runs at " + std::to_string(sampleRate) + " Hz, outside " +
                  std::to_string(od::kMinSampleRate) + ".." + std::to_string(od::kMaxSampleRate) + " Hz");
  od::configure(sampleRate, settings.frameLength);

  PatchContext context;
  context.sampleRate = sampleRate;
  context.seconds = settings.seconds >= 0.0 ? settings.seconds : HUGE_VAL;
  context.inputChannels = settings.inputs > 0 ? settings.inputs : kSilentInputChannels;
  context.inputsAsArguments = settings.inputs > 0;
  context.seed = settings.seed;
  context.patchFolder = folderOf(absolutePath(settings.patchPath));
  std::unique_ptr<LoadedPatch> first = loadPatch(settings.patchPath, "", context);
  const int outputs = (int)first->outlets.size();

  const long total = settings.seconds >= 0.0 ? std::lround(settings.seconds * sampleRate) : -1;
  std::unique_ptr<Recorder> recorder;
  if (!settings.recordPath.empty()) recorder = std::make_unique<Recorder>(settings.recordPath, outputs, sampleRate, total);
  Engine engine(client.get(), settings.inputs, outputs, settings.frameLength);
  SignalScope signals;
  PatchWatch watch(settings.patchPath);
  // The patch whose qvz.at and qvz.every callbacks run here, on its own clock from when it
  // was handed to the audio thread; what they change goes through its queue.
  LoadedPatch *scripted = first.get();
  engine.start(first.release(), recorder.get());

  const std::string clientName = jack_get_client_name(client.get());
  std::printf("qvz: live %s as '%s': %d Hz, period %d, frame %d, latency %d samples (%.2f ms), %d in, %d out, MIDI in\n",
              settings.patchPath.c_str(), clientName.c_str(), sampleRate, engine.period(), settings.frameLength,
              engine.latency(), 1000.0 * engine.latency() / sampleRate, settings.inputs, outputs);
  std::fflush(stdout);
  if (settings.connect) engine.connectToSystem();

  const bool terminal = isatty(2);
  const auto startTime = std::chrono::steady_clock::now();
  auto now = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - startTime).count(); };
  double nextStatus = terminal ? kTerminalStatusInterval : kLogStatusInterval;
  double reloadAt = -1.0;
  int reloads = 0, lastPeriod = engine.period();
  std::vector<float> statusPeaks(outputs, 0.0f), peaks(outputs, 0.0f);
  float statusLoad = 0.0f, maxLoad = 0.0f;
  bool statusShown = false;
  std::string failure;

  long scriptedFrom = 0;
  double nextCallback = 0.0;
  long changes = 0;
  uint64_t lastChangeFrame = 0; // of the patch playing when it landed
  auto patchSeconds = [&] { return (double)(engine.produced() - scriptedFrom) / sampleRate; };

  while (!gStop) {
    const double untilCallback = nextCallback - patchSeconds();
    const int wait = untilCallback <= 0.0 ? 0 : (int)std::min<double>(kPollMilliseconds, std::ceil(untilCallback * 1000.0));
    if (watch.changed(wait)) reloadAt = now() + kReloadSettle;
    if (patchSeconds() >= nextCallback) {
      od::ChangeQueue::Scope deferred(scripted->changes);
      od::Random::Scope randomScope(scripted->random);
      try {
        nextCallback = scripted->session.runScheduled(patchSeconds());
      } catch (const std::exception &error) {
        std::fprintf(stderr, "%sqvz: %s (the callback is dropped)\n", statusShown && terminal ? "\n" : "", error.what());
        statusShown = false;
        nextCallback = 0.0;
      }
    }
    if (const int applied = scripted->changes.collect(lastChangeFrame)) changes += applied;
    if (gReload) {
      gReload = 0;
      reloadAt = now();
    }
    delete engine.takeRetired();
    if (engine.serverGone()) {
      failure = "the JACK server stopped";
      break;
    }
    if (engine.periodTooLong()) {
      failure = "the JACK period is longer than " + std::to_string(kMaxPeriod) + " samples";
      break;
    }
    if (engine.period() != lastPeriod) {
      lastPeriod = engine.period();
      std::fprintf(stderr, "%sqvz: period now %d, latency %d samples\n", statusShown && terminal ? "\n" : "", lastPeriod,
                   engine.latency());
      jack_recompute_total_latencies(client.get());
    }
    if (reloadAt >= 0.0 && now() >= reloadAt && engine.canSwap()) {
      reloadAt = -1.0;
      if (statusShown && terminal) std::fputc('\n', stderr);
      statusShown = false;
      try {
        std::unique_ptr<LoadedPatch> next = loadPatch(settings.patchPath, "", context);
        if ((int)next->outlets.size() != outputs)
          throw Failure(settings.patchPath + " now returns " + std::to_string(next->outlets.size()) +
                        " outlets for the client's " + std::to_string(outputs) +
                        " output ports; restart qvz live to change them");
        if (globalConfig.frameLength != settings.frameLength) {
          od::configure(sampleRate, settings.frameLength);
          throw Failure(settings.patchPath + " changed the frame length; use --frame instead");
        }
        scripted = next.get();
        scriptedFrom = engine.produced();
        nextCallback = 0.0;
        engine.swapIn(next.release());
        reloads++;
        std::fprintf(stderr, "qvz: reloaded %s\n", settings.patchPath.c_str());
      } catch (const std::exception &error) {
        std::fprintf(stderr, "qvz: %s (the previous patch keeps playing)\n", error.what());
      }
    }
    for (int c = 0; c < outputs; c++) statusPeaks[c] = std::max(statusPeaks[c], engine.takePeak(c));
    statusLoad = std::max(statusLoad, engine.takeMaxLoad());
    if (now() >= nextStatus) {
      nextStatus = now() + (terminal ? kTerminalStatusInterval : kLogStatusInterval);
      std::fprintf(stderr, "%sqvz: %.1f s, DSP %.1f%% (max %.1f%%), xruns %ld, peak %s%s", terminal ? "\r" : "",
                   (double)engine.produced() / sampleRate, 100.0 * engine.meanLoad(), 100.0 * statusLoad,
                   engine.xruns(), peaksText(statusPeaks).c_str(), terminal ? "\033[K" : "\n");
      std::fflush(stderr);
      statusShown = true;
      for (int c = 0; c < outputs; c++) peaks[c] = std::max(peaks[c], statusPeaks[c]);
      maxLoad = std::max(maxLoad, statusLoad);
      std::fill(statusPeaks.begin(), statusPeaks.end(), 0.0f);
      statusLoad = 0.0f;
    }
    if (total >= 0 && engine.produced() >= total) break;
  }
  engine.deactivate();
  if (statusShown && terminal) std::fputc('\n', stderr);
  for (int c = 0; c < outputs; c++) peaks[c] = std::max({peaks[c], statusPeaks[c], engine.takePeak(c)});
  maxLoad = std::max({maxLoad, statusLoad, engine.takeMaxLoad()});
  if (recorder) recorder->finish();

  const double played = (double)engine.produced() / sampleRate;
  std::printf("qvz: live %s: %.3f s, DSP %.1f%% (max %.1f%%), xruns %ld, peak %s, latency %d samples, %d reload%s, "
              "%ld scripted change%s%s%s\n",
              settings.patchPath.c_str(), played, 100.0 * engine.meanLoad(), 100.0 * maxLoad, engine.xruns(),
              peaksText(peaks).c_str(), engine.latency(), reloads, reloads == 1 ? "" : "s", changes,
              changes == 1 ? "" : "s",
              changes ? (" (the last at frame " + std::to_string(lastChangeFrame) + ")").c_str() : "", recorder ? (", recorded " + settings.recordPath).c_str() : "");
  std::fflush(stdout);
  if (!failure.empty()) throw Failure(failure);
}

} // namespace qvz
