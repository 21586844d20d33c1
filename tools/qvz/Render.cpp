#include "Render.h"
#include "AudioFile.h"
#include "Failure.h"
#include "LuaPatch.h"
#include "MidiFile.h"
#include "Patch.h"
#include "Plot.h"

#include <lua.hpp>

#include <od/Graph.h>
#include <od/Midi.h>
#include <od/Random.h>
#include <od/config.h>
#include <od/simd.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>
#include <memory>

extern const char kDemoPatch[];
extern const std::size_t kDemoPatchLength;

namespace qvz {

namespace {

constexpr int kDefaultSampleRate = 48000;    // Hz, without an input file or --rate
constexpr int kSilentInputChannels = 2;      // what a patch sees without an input file
constexpr double kProgressAfter = 1.0;       // seconds of rendering before progress shows
constexpr double kProgressInterval = 0.25;   // seconds between progress updates on a terminal
constexpr double kLogProgressInterval = 5.0; // seconds between progress lines in a log
constexpr long kProgressCheckSamples = 4096;  // rendered samples between looks at the clock

constexpr double kQuietLevel = 3.1622777e-5;  // -90 dBFS: the tail ends below it
constexpr double kQuietSeconds = 0.5;         // ... once the output has stayed there this long
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

volatile std::sig_atomic_t gInterrupted = 0;
void onInterrupt(int) { gInterrupted = 1; }

// Peak and RMS of one channel, and how many samples were not finite.
struct ChannelStats {
  float peak = 0.0f;
  double sumOfSquares = 0.0;
  long nonFinite = 0;

  // Adds samples in order: the sum of squares is the same, sample for sample, however they are
  // grouped. A frame whose samples are all finite (nearly every one) takes its peak in a vector
  // and its squares in a plain loop; the totals stay in registers while the samples go by.
  void add(const float *v, int count) {
    double sum = sumOfSquares;
    long bad = nonFinite;
    const int whole = count & ~3;
    // x * 0 is 0 for every finite x and NaN otherwise.
    float4 check = simd_set(0.0f), top = simd_set(peak);
    for (int i = 0; i < whole; i += 4) {
      const float4 x = simd_load(v + i);
      check += x * 0.0f;
      const float4 magnitude = x < 0.0f ? -x : x;
      top = top < magnitude ? magnitude : top;
    }
    float p = peak;
    if (check[0] == 0.0f && check[1] == 0.0f && check[2] == 0.0f && check[3] == 0.0f) {
      p = std::max(std::max(top[0], top[1]), std::max(top[2], top[3]));
      for (int i = 0; i < whole; i++) sum += (double)v[i] * v[i];
    } else {
      for (int i = 0; i < whole; i++) addOne(v[i], p, sum, bad);
    }
    for (int i = whole; i < count; i++) addOne(v[i], p, sum, bad);
    peak = p;
    sumOfSquares = sum;
    nonFinite = bad;
  }

  static void addOne(float v, float &top, double &sum, long &bad) {
    if (!std::isfinite(v)) {
      bad++;
      return;
    }
    top = std::max(top, std::fabs(v));
    sum += (double)v * v;
  }
};

std::string decibels(double level) {
  if (!(level > 0.0)) return "-inf";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", 20.0 * std::log10(level));
  return text;
}

std::string joined(const std::vector<std::string> &items) {
  std::string text;
  for (const std::string &item : items) text += (text.empty() ? "" : " ") + item;
  return text;
}

class Progress {
public:
  explicit Progress(double totalSeconds)
      : mTotal(totalSeconds), mStart(std::chrono::steady_clock::now()), mTerminal(isatty(2)) {}

  double elapsed() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - mStart).count();
  }

  void update(double renderedSeconds) {
    const double now = elapsed();
    if (now < kProgressAfter || now < mNextReport) return;
    mNextReport = now + (mTerminal ? kProgressInterval : kLogProgressInterval);
    const double percent = mTotal > 0.0 ? 100.0 * renderedSeconds / mTotal : 100.0;
    std::fprintf(stderr, "%sqvz: rendering %3.0f%% (%.1f of %.1f s)%s", mTerminal ? "\r" : "", percent,
                 renderedSeconds, mTotal, mTerminal ? "" : "\n");
    std::fflush(stderr);
    mShown = true;
  }

  void finish() {
    if (mShown && mTerminal) std::fprintf(stderr, "\n");
  }

private:
  double mTotal;
  std::chrono::steady_clock::time_point mStart;
  bool mTerminal;
  double mNextReport = 0.0;
  bool mShown = false;
};

// Turns SIGINT, SIGTERM and SIGHUP into a clean stop for the length of a render (the
// temporary file goes with it); restores the previous handlers afterwards.
class InterruptScope {
public:
  InterruptScope() {
    gInterrupted = 0;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < std::size(kStopSignals); i++) sigaction(kStopSignals[i], &action, &mPrevious[i]);
  }
  ~InterruptScope() {
    for (size_t i = 0; i < std::size(kStopSignals); i++) sigaction(kStopSignals[i], &mPrevious[i], nullptr);
  }

private:
  struct sigaction mPrevious[std::size(kStopSignals)];
};

// Refuses, before anything is read, to write a file over the input or the plot over the WAV.
void checkDistinctFiles(const RenderSettings &settings) {
  const FileIdentity output = FileIdentity::of(settings.outputPath, STDOUT_FILENO);
  if (!settings.inputPath.empty() && FileIdentity::of(settings.inputPath, STDIN_FILENO) == output)
    throw Failure("-o '" + settings.outputPath + "' is the input file '" + settings.inputPath +
                  "'; writing it would destroy the input");
  if (settings.plotPath.empty()) return;
  const FileIdentity plot = FileIdentity::of(settings.plotPath, STDOUT_FILENO);
  if (plot == output)
    throw Failure("--plot '" + settings.plotPath + "' is the output file '" + settings.outputPath + "'");
  if (!settings.inputPath.empty() && FileIdentity::of(settings.inputPath, STDIN_FILENO) == plot)
    throw Failure("--plot '" + settings.plotPath + "' is the input file '" + settings.inputPath + "'");
}

void checkSettings(const RenderSettings &settings) {
  if (settings.frameLength < kFrameStep || settings.frameLength > od::kMaxFrameLength ||
      settings.frameLength % kFrameStep != 0)
    throw Failure("--frame must be a multiple of " + std::to_string(kFrameStep) + " from " +
                  std::to_string(kFrameStep) + " to " + std::to_string(od::kMaxFrameLength));
  if (settings.sampleRate != 0 && (settings.sampleRate < od::kMinSampleRate || settings.sampleRate > od::kMaxSampleRate))
    throw Failure("--rate must be between " + std::to_string(od::kMinSampleRate) + " and " +
                  std::to_string(od::kMaxSampleRate) + " Hz");
}

} // namespace

std::string demoPatch() { return std::string(kDemoPatch, kDemoPatchLength); }

void render(const RenderSettings &settings) {
  checkSettings(settings);
  checkDistinctFiles(settings);
  if (!settings.plotPath.empty()) checkPlotFont();

  std::unique_ptr<AudioReader> input;
  if (!settings.inputPath.empty()) input = std::make_unique<AudioReader>(settings.inputPath);
  if (input && input->channels() > kMaxChannels)
    throw Failure("input '" + settings.inputPath + "' has " + std::to_string(input->channels()) +
                  " channels; qvz reads at most " + std::to_string(kMaxChannels));
  const int inputRate = input ? input->fileRate() : 0;
  int sampleRate = settings.sampleRate ? settings.sampleRate : inputRate ? inputRate : kDefaultSampleRate;
  if (sampleRate < od::kMinSampleRate || sampleRate > od::kMaxSampleRate)
    throw Failure("the input's sample rate " + std::to_string(sampleRate) + " Hz is outside " +
                  std::to_string(od::kMinSampleRate) + ".." + std::to_string(od::kMaxSampleRate) +
                  " Hz; choose one with --rate");
  const double inputSeconds = input ? (double)input->fileFrames() / inputRate : 0.0;
  if (input) input->convertTo(sampleRate);

  // Without --seconds an input sets the length, and its end (where its data really ends) stops the render.
  const bool lengthFromInput = settings.seconds < 0.0 && input;
  const double seconds = settings.seconds >= 0.0 ? settings.seconds
                         : settings.inputPath.empty() ? settings.defaultSeconds
                                                      : inputSeconds;
  long nominalSamples = std::lround(seconds * sampleRate);
  const long tailLimit = std::lround(settings.tailSeconds * sampleRate);
  const long quietNeeded = std::lround(kQuietSeconds * sampleRate);

  od::configure(sampleRate, settings.frameLength);
  od::Random::seed(settings.seed);

  PatchContext context;
  context.sampleRate = sampleRate;
  context.seconds = seconds;
  context.inputChannels = input ? input->channels() : kSilentInputChannels;
  context.seed = settings.seed;
  context.inputPath = absolutePath(settings.inputPath);
  if (!settings.patchPath.empty()) context.patchFolder = folderOf(absolutePath(settings.patchPath));
  context.inputsAsArguments = input != nullptr;
  const std::unique_ptr<LoadedPatch> patch = settings.patchPath.empty()
                                                 ? loadPatch("demo.lua", demoPatch(), context)
                                                 : loadPatch(settings.patchPath, "", context);
  const std::vector<od::Outlet *> &outlets = patch->outlets;
  od::Graph &graph = patch->graph;
  od::Random::Scope randomScope(patch->random);
  std::unique_ptr<MidiFile> midi;
  if (!settings.midiPath.empty()) midi = std::make_unique<MidiFile>(settings.midiPath, sampleRate);
  od::MidiFrame::clear();
  // However the render ends, feedback loops are opened so their objects can be freed.
  struct LoopOpener {
    od::Graph &graph;
    ~LoopOpener() { graph.openLoops(); }
  } loopOpener{graph};

  const int channels = (int)outlets.size();
  WavFormat format;
  format.bits = settings.bits;
  format.alwaysRf64 = settings.alwaysRf64;
  format.seed = settings.seed;
  WavWriter writer(settings.outputPath, channels, sampleRate, format);
  writer.checkSpace(nominalSamples + tailLimit);
  const bool keep = !settings.plotPath.empty();
  Audio rendered;
  rendered.sampleRate = sampleRate;
  rendered.channels.assign(channels, {});
  try {
    if (keep)
      for (std::vector<float> &channel : rendered.channels) channel.reserve((size_t)(nominalSamples + tailLimit));
  } catch (const std::bad_alloc &) {
    char text[64];
    std::snprintf(text, sizeof text, "%.1f MB", (double)(nominalSamples + tailLimit) * channels * sizeof(float) / 1e6);
    throw Failure("not enough memory to keep the render for --plot (" + std::string(text) +
                  "); plot a shorter render");
  }
  std::vector<ChannelStats> stats(channels);

  InputChannels &inputs = patch->session.inputs();
  const int frameLength = globalConfig.frameLength;
  std::vector<float *> inputBuffers;
  for (int c = 0; input && c < input->channels(); c++) inputBuffers.push_back(inputs.buffer(c));
  std::vector<float> interleaved((size_t)frameLength * channels);
  Progress progress(seconds + settings.tailSeconds);
  InterruptScope interrupts;

  long nextProgressCheck = 0;
  long done = 0;
  double nextCallback = 0.0; // seconds; the patch's qvz.at and qvz.every run between frames
  long quiet = 0; // samples in a row below the quiet level, all channels
  for (;;) {
    const bool inTail = done >= nominalSamples;
    if (inTail && (quiet >= quietNeeded || done >= nominalSamples + tailLimit)) break;
    if (gInterrupted) throw Failure("interrupted; nothing written");
    // Functions of qvz.every and qvz.at run between frames; what they connect runs from
    // the next frame on.
    if ((double)done / sampleRate >= nextCallback) {
      nextCallback = patch->session.runScheduled((double)done / sampleRate);
      std::string cycle;
      if (!graph.build(outlets, cycle)) throw Failure(cycle);
    }
    if (input) {
      const int got = input->read(inputBuffers.data(), frameLength);
      if (lengthFromInput && got < frameLength && done + got < nominalSamples) nominalSamples = done + got;
    }
    if (midi) midi->feedFrame(done, frameLength);
    graph.processFrame();
    const long end = done >= nominalSamples ? nominalSamples + tailLimit : nominalSamples;
    const int count = (int)std::min<long>(frameLength, end - done);
    if (count <= 0) continue;
    float loudest = 0.0f;
    for (int c = 0; c < channels; c++) {
      const float *buffer = outlets[c]->buffer();
      if (channels != 2)
        for (int i = 0; i < count; i++) interleaved[(size_t)i * channels + c] = buffer[i];
      const float before = stats[c].peak;
      stats[c].peak = 0.0f;
      stats[c].add(buffer, count);
      loudest = std::max(loudest, stats[c].peak);
      stats[c].peak = std::max(before, stats[c].peak);
      if (keep) rendered.channels[c].insert(rendered.channels[c].end(), buffer, buffer + count);
    }
    quiet = loudest < kQuietLevel ? quiet + count : 0;
    if (channels == 2) {
      const float *left = outlets[0]->buffer(), *right = outlets[1]->buffer();
      for (int i = 0; i < count; i++) {
        interleaved[2 * (size_t)i] = left[i];
        interleaved[2 * (size_t)i + 1] = right[i];
      }
    }
    writer.write(interleaved.data(), count);
    done += count;
    // The clock is read once per block of samples rather than every frame.
    if (done >= nextProgressCheck) {
      progress.update((double)done / sampleRate);
      nextProgressCheck = done + kProgressCheckSamples;
    }
  }
  progress.finish();
  const double elapsed = progress.elapsed();
  writer.commit();
  if (keep) {
    std::vector<std::string> names;
    for (const od::Outlet *outlet : outlets) names.push_back(outlet->name());
    writePlot(settings.plotPath, rendered, names, settings.outputPath);
  }

  const long totalSamples = done;
  std::vector<std::string> peaks, levels;
  long nonFinite = 0;
  for (const ChannelStats &s : stats) {
    peaks.push_back(decibels(s.peak));
    levels.push_back(decibels(totalSamples ? std::sqrt(s.sumOfSquares / totalSamples) : 0.0));
    nonFinite += s.nonFinite;
  }
  std::string summary = "qvz: " + settings.outputPath + ": ";
  char numbers[96];
  std::snprintf(numbers, sizeof numbers, "%.3f s, %d ch, %d Hz, ", (double)totalSamples / sampleRate, channels,
                sampleRate);
  summary += numbers;
  summary += "peak " + joined(peaks) + " dBFS, RMS " + joined(levels) + " dBFS, ";
  if (elapsed > 0.0) {
    std::snprintf(numbers, sizeof numbers, "%.1fx real time", (double)totalSamples / sampleRate / elapsed);
    summary += numbers;
  }
  if (nonFinite) summary += ", " + std::to_string(nonFinite) + " samples not finite";
  if (keep) summary += ", plot " + settings.plotPath;
  std::fprintf(writer.toStandardOutput() ? stderr : stdout, "%s\n", summary.c_str());

  for (int c = 0; c < channels; c++) {
    if (writer.clipped()[c] > 0)
      std::fprintf(stderr, "qvz: warning: channel %d clipped %ld samples beyond full scale\n", c + 1,
                   writer.clipped()[c]);
    if (totalSamples > 0 && stats[c].peak == 0.0f && stats[c].nonFinite == 0)
      std::fprintf(stderr, "qvz: warning: channel %d is silent from start to end\n", c + 1);
  }
}

} // namespace qvz
