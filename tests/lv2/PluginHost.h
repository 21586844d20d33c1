#pragma once

// A small LV2 host on lilv for the plug-in tests: loads the bundle from the build folder,
// instantiates plug-ins with or without features, connects buffers and runs blocks.

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/log/log.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <cstdarg>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace qvzlv2test {

constexpr double kRate = 48000.0;
constexpr int kLatency = 32; // the plug-ins' internal frame

struct PortInfo {
  std::string symbol, name;
  bool audio = false, control = false, atom = false, input = false;
  bool optional = false, sideChain = false, enabled = false, integer = false, toggled = false, trigger = false;
  float minimum = 0, maximum = 1, defaultValue = 0;
  std::vector<float> scalePoints;
};

// The lilv world with only the bundle loaded.
class Bundle {
public:
  Bundle();
  ~Bundle();
  static Bundle &get();

  std::vector<std::string> uris() const;
  const LilvPlugin *plugin(const std::string &uri) const;
  std::vector<PortInfo> ports(const std::string &uri) const;
  LilvWorld *world() const { return mWorld; }

private:
  LilvWorld *mWorld;
};

// URIs to numbers, and a log that keeps what was said.
class Features {
public:
  Features();
  LV2_URID map(const char *uri);
  const LV2_Feature *const *all() const { return mList.data(); }
  std::string logged;
  static int logv(LV2_Log_Handle handle, LV2_URID type, const char *fmt, va_list args);
  // Work the plug-in schedules in run() is kept (in memory taken up front) and done by this
  // interface when run() has returned, as a host's worker thread would.
  const LV2_Worker_Interface *worker = nullptr;
  LV2_Handle workerHandle = nullptr;
  void doScheduledWork();

private:
  std::map<std::string, LV2_URID> mIds;
  char mWork[4096];
  uint32_t mWorkSize = 0;
  LV2_URID_Map mMap;
  LV2_Log_Log mLog;
  LV2_Worker_Schedule mSchedule;
  LV2_Feature mMapFeature, mLogFeature, mScheduleFeature;
  std::vector<const LV2_Feature *> mList;
};

// One instance with a buffer per port: audio buffers long enough for any block, control values.
class Plugin {
public:
  // features == nullptr: instantiated with no host feature at all.
  Plugin(const std::string &uri, Features *features, double rate = kRate);
  ~Plugin();
  bool ok() const { return mInstance != nullptr; }
  LilvInstance *instance() const { return mInstance; }

  const std::vector<PortInfo> &ports() const { return mPorts; }
  int port(const std::string &symbol) const;
  std::vector<int> audioInputs() const;
  std::vector<int> audioOutputs() const;
  float &control(int index) { return mControls[index]; }
  void setControl(const std::string &symbol, float value) { mControls[port(symbol)] = value; }
  // Leaves a port unconnected (NULL) from now on.
  void disconnect(int index);
  // Connects output `out` to the buffer of input `in` (processing in place).
  void shareBuffer(int out, int in);

  // Runs `samples` of the inputs (one vector per audio input) in blocks of the given sizes
  // (repeated to the end); returns one vector per audio output. Events go with the first block.
  std::vector<std::vector<float>> render(const std::vector<std::vector<float>> &inputs, size_t samples,
                                         const std::vector<int> &blocks);
  // Events for the next block: a MIDI note-on, or an atom object written by the caller.
  void noteOn(uint32_t frame, int note, int velocity);
  void pushEvent(uint32_t frame, const LV2_Atom *atom);

private:
  void connectAll();

  LilvInstance *mInstance = nullptr;
  Features *mFeatures;
  std::vector<PortInfo> mPorts;
  std::vector<float> mControls;
  std::vector<std::vector<float>> mAudio;
  std::vector<int> mAlias; // audio output -> input whose buffer it shares, or -1
  std::vector<bool> mDisconnected;
  std::vector<uint64_t> mSequence; // 8-byte aligned atom sequence
  int mEventsPort = -1;
};

// A deterministic noise signal, roughly -0.5 .. 0.5.
std::vector<float> noise(int samples, uint32_t seed);

} // namespace qvzlv2test
