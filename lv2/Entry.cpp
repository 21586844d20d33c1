// The LV2 face of the bundle: descriptors, host features, the events port, and for the
// sample player the worker that loads its file and the state that remembers it.

#include "Instance.h"
#include "morpho/MorphoHead.h"
#include "PluginSpec.h"

#include <od/Sample.h>
#include <od/config.h>

#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/core/lv2.h>
#include <lv2/core/lv2_util.h>
#include <lv2/log/log.h>
#include <lv2/log/logger.h>
#include <lv2/midi/midi.h>
#include <lv2/patch/patch.h>
#include <lv2/state/state.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>


namespace qvzlv2 {

namespace {

// The host's configuration is process-wide: every live instance shares one rate.
std::mutex gConfigMutex;
int gLiveInstances = 0;
int gConfiguredRate = 0;

constexpr size_t kMaxPath = 4096;

struct Uris {
  LV2_URID atomSequence = 0, atomObject = 0, atomBlank = 0, atomPath = 0, atomFloat = 0, atomDouble = 0,
           atomInt = 0, atomLong = 0, atomUrid = 0, midiEvent = 0, timePosition = 0, timeBeatsPerMinute = 0,
           patchSet = 0, patchProperty = 0, patchValue = 0, sample = 0;

  explicit Uris(LV2_URID_Map *map) {
    if (!map) return;
    const auto m = [map](const char *uri) { return map->map(map->handle, uri); };
    atomSequence = m(LV2_ATOM__Sequence);
    atomObject = m(LV2_ATOM__Object);
    atomBlank = m(LV2_ATOM__Blank);
    atomPath = m(LV2_ATOM__Path);
    atomFloat = m(LV2_ATOM__Float);
    atomDouble = m(LV2_ATOM__Double);
    atomInt = m(LV2_ATOM__Int);
    atomLong = m(LV2_ATOM__Long);
    atomUrid = m(LV2_ATOM__URID);
    midiEvent = m(LV2_MIDI__MidiEvent);
    timePosition = m(LV2_TIME__Position);
    timeBeatsPerMinute = m(LV2_TIME__beatsPerMinute);
    patchSet = m(LV2_PATCH__Set);
    patchProperty = m(LV2_PATCH__property);
    patchValue = m(LV2_PATCH__value);
    sample = m(kSampleProperty);
  }
};

struct Plugin {
  std::unique_ptr<Instance> instance;
  LV2_URID_Map *map = nullptr;
  LV2_Worker_Schedule *schedule = nullptr;
  LV2_Log_Logger logger{};
  Uris uris{nullptr};
  int eventsPort = -1;
  // The sample player's file: set by the worker or by restore, read by save (never the audio thread).
  std::mutex pathMutex;
  std::string samplePath;
};

morpho::MorphoHead *samplePlayer(Plugin *plugin) {
  if (!plugin->instance->layout().sampleFile) return nullptr;
  return dynamic_cast<morpho::MorphoHead *>(plugin->instance->unit(0));
}

// Loads a sample file and installs it; off the audio thread only (worker or restore). A file
// that cannot be read leaves the current sample playing and says why.
bool loadSample(Plugin *plugin, const std::string &path) {
  morpho::MorphoHead *head = samplePlayer(plugin);
  if (!head) return false;
  std::string error;
  od::Sample *sample = od::Sample::load(path, error);
  if (!sample) {
    lv2_log_error(&plugin->logger, "MorphoHead: cannot load '%s': %s\n", path.c_str(), error.c_str());
    return false;
  }
  sample->attach();
  head->setSample(sample); // releases the previous sample here, not on the audio thread
  sample->release();
  std::lock_guard<std::mutex> lock(plugin->pathMutex);
  plugin->samplePath = path;
  return true;
}

float numberOf(const Uris &u, const LV2_Atom *atom) {
  if (atom->type == u.atomFloat) return ((const LV2_Atom_Float *)atom)->body;
  if (atom->type == u.atomDouble) return (float)((const LV2_Atom_Double *)atom)->body;
  if (atom->type == u.atomInt) return (float)((const LV2_Atom_Int *)atom)->body;
  if (atom->type == u.atomLong) return (float)((const LV2_Atom_Long *)atom)->body;
  return NAN;
}

// Notes, tempo and sample requests of one block, handed to the instance before it runs.
void readEvents(Plugin *plugin, uint32_t samples) {
  const Uris &u = plugin->uris;
  const auto *sequence = static_cast<const LV2_Atom_Sequence *>(plugin->instance->portBuffer(plugin->eventsPort));
  if (!sequence || !plugin->map || sequence->atom.type != u.atomSequence) return;
  const PluginSpec &layout = plugin->instance->layout();
  LV2_ATOM_SEQUENCE_FOREACH(sequence, ev) {
    const int64_t time = ev->time.frames;
    const uint32_t offset = time < 0 ? 0 : time >= (int64_t)samples ? samples - 1 : (uint32_t)time;
    if (ev->body.type == u.midiEvent && layout.midi && ev->body.size >= 3) {
      const uint8_t *msg = (const uint8_t *)(ev + 1);
      if ((msg[0] & 0xF0) == LV2_MIDI_MSG_NOTE_ON && msg[2] > 0) plugin->instance->noteOn(offset, msg[1] & 0x7F, msg[2] & 0x7F);
    } else if (ev->body.type == u.atomObject || ev->body.type == u.atomBlank) {
      const auto *object = (const LV2_Atom_Object *)&ev->body;
      if (object->body.otype == u.timePosition && layout.transport) {
        const LV2_Atom *bpm = nullptr;
        lv2_atom_object_get(object, u.timeBeatsPerMinute, &bpm, 0);
        if (bpm) plugin->instance->setTempo(numberOf(u, bpm));
      } else if (object->body.otype == u.patchSet && layout.sampleFile && plugin->schedule) {
        const LV2_Atom *property = nullptr, *value = nullptr;
        lv2_atom_object_get(object, u.patchProperty, &property, u.patchValue, &value, 0);
        if (property && value && property->type == u.atomUrid && ((const LV2_Atom_URID *)property)->body == u.sample &&
            value->type == u.atomPath && value->size > 0 && value->size < kMaxPath)
          plugin->schedule->schedule_work(plugin->schedule->handle, value->size, value + 1);
      }
    }
  }
}

LV2_Handle instantiate(const LV2_Descriptor *descriptor, double rate, const char *, const LV2_Feature *const *features) {
  const PluginSpec *layout = findPlugin(descriptor->URI);
  if (!layout) return nullptr;
  auto plugin = std::make_unique<Plugin>();
  LV2_Log_Log *log = nullptr;
  lv2_features_query(features, LV2_URID__map, &plugin->map, false, LV2_LOG__log, &log, false, LV2_WORKER__schedule,
                     &plugin->schedule, false, nullptr);
  lv2_log_logger_init(&plugin->logger, plugin->map, log);
  plugin->uris = Uris(plugin->map);

  const long sampleRate = std::lround(rate);
  std::lock_guard<std::mutex> lock(gConfigMutex);
  if (gLiveInstances > 0 && sampleRate != gConfiguredRate) {
    lv2_log_error(&plugin->logger,
                  "%s: refused at %ld Hz: instances at %d Hz are running, and all instances share one rate\n",
                  descriptor->URI, sampleRate, gConfiguredRate);
    return nullptr;
  }
  if (gLiveInstances == 0 && !od::configure((int)sampleRate, kFrame)) {
    lv2_log_error(&plugin->logger, "%s: refused: %ld Hz is outside %d..%d Hz\n", descriptor->URI, sampleRate,
                  od::kMinSampleRate, od::kMaxSampleRate);
    return nullptr;
  }
  try {
    plugin->instance = std::make_unique<Instance>(*layout, (float)sampleRate);
  } catch (const std::exception &e) {
    lv2_log_error(&plugin->logger, "%s: cannot be made: %s\n", descriptor->URI, e.what());
    return nullptr;
  }
  if (!plugin->instance->hasMemory())
    lv2_log_warning(&plugin->logger, "%s: its delay memory was refused; it passes its input through\n",
                    descriptor->URI);
  gConfiguredRate = (int)sampleRate;
  gLiveInstances++;
  for (size_t i = 0; i < layout->ports.size(); i++)
    if (layout->ports[i].type == PortType::EventsIn) plugin->eventsPort = (int)i;
  return plugin.release();
}

void connectPort(LV2_Handle handle, uint32_t port, void *data) { static_cast<Plugin *>(handle)->instance->connect(port, data); }

void activate(LV2_Handle handle) { static_cast<Plugin *>(handle)->instance->activate(); }

void run(LV2_Handle handle, uint32_t samples) OD_NONBLOCKING {
  Plugin *plugin = static_cast<Plugin *>(handle);
  if (plugin->eventsPort >= 0) readEvents(plugin, samples);
  plugin->instance->run(samples);
}

void cleanup(LV2_Handle handle) {
  delete static_cast<Plugin *>(handle);
  std::lock_guard<std::mutex> lock(gConfigMutex);
  gLiveInstances--;
}

LV2_Worker_Status work(LV2_Handle handle, LV2_Worker_Respond_Function, LV2_Worker_Respond_Handle, uint32_t size,
                       const void *data) {
  Plugin *plugin = static_cast<Plugin *>(handle);
  const char *text = static_cast<const char *>(data);
  const std::string path(text, strnlen(text, size));
  loadSample(plugin, path);
  return LV2_WORKER_SUCCESS;
}

LV2_Worker_Status workResponse(LV2_Handle, uint32_t, const void *) { return LV2_WORKER_SUCCESS; }

LV2_State_Status save(LV2_Handle handle, LV2_State_Store_Function store, LV2_State_Handle state, uint32_t,
                      const LV2_Feature *const *features) {
  Plugin *plugin = static_cast<Plugin *>(handle);
  if (!plugin->map) return LV2_STATE_ERR_NO_FEATURE;
  std::string path;
  {
    std::lock_guard<std::mutex> lock(plugin->pathMutex);
    path = plugin->samplePath;
  }
  if (path.empty()) return LV2_STATE_SUCCESS;
  LV2_State_Map_Path *mapPath = nullptr;
  LV2_State_Free_Path *freePath = nullptr;
  lv2_features_query(features, LV2_STATE__mapPath, &mapPath, false, LV2_STATE__freePath, &freePath, false, nullptr);
  char *abstract = mapPath ? mapPath->abstract_path(mapPath->handle, path.c_str()) : nullptr;
  const char *stored = abstract ? abstract : path.c_str();
  const LV2_State_Status status = store(state, plugin->uris.sample, stored, std::strlen(stored) + 1,
                                        plugin->uris.atomPath, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
  if (abstract) {
    if (freePath) freePath->free_path(freePath->handle, abstract);
    else std::free(abstract);
  }
  return status;
}

LV2_State_Status restore(LV2_Handle handle, LV2_State_Retrieve_Function retrieve, LV2_State_Handle state, uint32_t,
                         const LV2_Feature *const *features) {
  Plugin *plugin = static_cast<Plugin *>(handle);
  if (!plugin->map) return LV2_STATE_ERR_NO_FEATURE;
  size_t size = 0;
  uint32_t type = 0, flags = 0;
  const char *value = static_cast<const char *>(retrieve(state, plugin->uris.sample, &size, &type, &flags));
  if (!value || type != plugin->uris.atomPath || size == 0) return LV2_STATE_SUCCESS;
  const std::string stored(value, strnlen(value, size));
  LV2_State_Map_Path *mapPath = nullptr;
  LV2_State_Free_Path *freePath = nullptr;
  lv2_features_query(features, LV2_STATE__mapPath, &mapPath, false, LV2_STATE__freePath, &freePath, false, nullptr);
  char *absolute = mapPath ? mapPath->absolute_path(mapPath->handle, stored.c_str()) : nullptr;
  const std::string path = absolute ? absolute : stored;
  if (absolute) {
    if (freePath) freePath->free_path(freePath->handle, absolute);
    else std::free(absolute);
  }
  loadSample(plugin, path);
  return LV2_STATE_SUCCESS;
}

const void *extensionData(const char *uri) {
  static const LV2_Worker_Interface worker = {work, workResponse, nullptr};
  static const LV2_State_Interface stateInterface = {save, restore};
  if (!std::strcmp(uri, LV2_WORKER__interface)) return &worker;
  if (!std::strcmp(uri, LV2_STATE__interface)) return &stateInterface;
  return nullptr;
}

// Only the sample player offers the worker and state.
const void *noExtensionData(const char *) { return nullptr; }

const std::vector<LV2_Descriptor> &descriptors() {
  static const std::vector<LV2_Descriptor> list = [] {
    std::vector<LV2_Descriptor> out;
    try {
      for (const PluginSpec &layout : plugins())
        out.push_back({layout.uri.c_str(), instantiate, connectPort, activate, run, nullptr, cleanup,
                       layout.sampleFile ? extensionData : noExtensionData});
    } catch (const std::exception &) {
      out.clear(); // the descriptions do not hold together: offer nothing rather than wrong ports
    }
    return out;
  }();
  return list;
}

} // namespace

} // namespace qvzlv2

LV2_SYMBOL_EXPORT const LV2_Descriptor *lv2_descriptor(uint32_t index) {
  const std::vector<LV2_Descriptor> &list = qvzlv2::descriptors();
  return index < list.size() ? &list[index] : nullptr;
}
