#include "PluginHost.h"

#include <lv2/atom/util.h>
#include <lv2/core/lv2.h>
#include <lv2/midi/midi.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace qvzlv2test {

namespace {

constexpr int kLongestBlock = 8192;
constexpr size_t kSequenceBytes = 1 << 16;

std::string bundlePath() {
  const char *build = std::getenv("QVZ_BUILD");
  char *absolute = realpath(build ? build : ".", nullptr);
  const std::string path = std::string(absolute ? absolute : ".") + "/lv2/quorvani.lv2/";
  std::free(absolute);
  return path;
}

std::string text(const LilvNode *node) { return node ? lilv_node_as_string(node) : ""; }

int logPrintf(LV2_Log_Handle handle, LV2_URID type, const char *fmt, ...) {
  va_list args;
  va_start(args, fmt);
  const int n = Features::logv(handle, type, fmt, args);
  va_end(args);
  return n;
}

} // namespace

Bundle::Bundle() : mWorld(lilv_world_new()) {
  lilv_world_load_specifications(mWorld);
  LilvNode *uri = lilv_new_file_uri(mWorld, nullptr, bundlePath().c_str());
  lilv_world_load_bundle(mWorld, uri);
  lilv_node_free(uri);
  if (lilv_plugins_size(lilv_world_get_all_plugins(mWorld)) == 0)
    throw std::runtime_error("no plug-ins in " + bundlePath() + " (set QVZ_BUILD to the build folder)");
}

Bundle::~Bundle() { lilv_world_free(mWorld); }

Bundle &Bundle::get() {
  static Bundle bundle;
  return bundle;
}

std::vector<std::string> Bundle::uris() const {
  std::vector<std::string> list;
  const LilvPlugins *plugins = lilv_world_get_all_plugins(mWorld);
  LILV_FOREACH(plugins, i, plugins) list.push_back(text(lilv_plugin_get_uri(lilv_plugins_get(plugins, i))));
  return list;
}

const LilvPlugin *Bundle::plugin(const std::string &uri) const {
  LilvNode *node = lilv_new_uri(mWorld, uri.c_str());
  const LilvPlugin *p = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(mWorld), node);
  lilv_node_free(node);
  return p;
}

std::vector<PortInfo> Bundle::ports(const std::string &uri) const {
  const LilvPlugin *p = plugin(uri);
  if (!p) throw std::runtime_error("no plug-in " + uri);
  const auto node = [this](const char *u) { return lilv_new_uri(mWorld, u); };
  LilvNode *audio = node(LV2_CORE__AudioPort), *control = node(LV2_CORE__ControlPort),
           *atom = node(LV2_ATOM__AtomPort), *input = node(LV2_CORE__InputPort),
           *optional = node(LV2_CORE__connectionOptional), *side = node(LV2_CORE_PREFIX "isSideChain"),
           *integer = node(LV2_CORE__integer), *toggled = node(LV2_CORE__toggled),
           *trigger = node("http://lv2plug.in/ns/ext/port-props#trigger"), *designation = node(LV2_CORE__designation),
           *enabled = node(LV2_CORE__enabled);
  std::vector<PortInfo> list;
  for (uint32_t i = 0; i < lilv_plugin_get_num_ports(p); i++) {
    const LilvPort *port = lilv_plugin_get_port_by_index(p, i);
    PortInfo info;
    info.symbol = text(lilv_port_get_symbol(p, port));
    LilvNode *name = lilv_port_get_name(p, port);
    info.name = text(name);
    lilv_node_free(name);
    info.audio = lilv_port_is_a(p, port, audio);
    info.control = lilv_port_is_a(p, port, control);
    info.atom = lilv_port_is_a(p, port, atom);
    info.input = lilv_port_is_a(p, port, input);
    info.optional = lilv_port_has_property(p, port, optional);
    info.sideChain = lilv_port_has_property(p, port, side);
    info.integer = lilv_port_has_property(p, port, integer);
    info.toggled = lilv_port_has_property(p, port, toggled);
    info.trigger = lilv_port_has_property(p, port, trigger);
    LilvNodes *designations = lilv_port_get_value(p, port, designation);
    LILV_FOREACH(nodes, d, designations) info.enabled |= lilv_node_equals(lilv_nodes_get(designations, d), enabled);
    lilv_nodes_free(designations);
    LilvNode *def = nullptr, *min = nullptr, *max = nullptr;
    lilv_port_get_range(p, port, &def, &min, &max);
    if (def) info.defaultValue = lilv_node_as_float(def);
    if (min) info.minimum = lilv_node_as_float(min);
    if (max) info.maximum = lilv_node_as_float(max);
    lilv_node_free(def);
    lilv_node_free(min);
    lilv_node_free(max);
    LilvScalePoints *points = lilv_port_get_scale_points(p, port);
    LILV_FOREACH(scale_points, s, points)
    info.scalePoints.push_back(lilv_node_as_float(lilv_scale_point_get_value(lilv_scale_points_get(points, s))));
    lilv_scale_points_free(points);
    list.push_back(info);
  }
  for (LilvNode *n : {audio, control, atom, input, optional, side, integer, toggled, trigger, designation, enabled})
    lilv_node_free(n);
  return list;
}

Features::Features() {
  mMap = {this, [](LV2_URID_Map_Handle h, const char *uri) { return static_cast<Features *>(h)->map(uri); }};
  mLog.handle = this;
  mLog.printf = logPrintf;
  mLog.vprintf = logv;
  mSchedule.handle = this;
  mSchedule.schedule_work = [](LV2_Worker_Schedule_Handle h, uint32_t size, const void *data) {
    Features *f = static_cast<Features *>(h);
    if (!f->worker || f->mWorkSize || size > sizeof f->mWork) return LV2_WORKER_ERR_NO_SPACE;
    std::memcpy(f->mWork, data, size);
    f->mWorkSize = size;
    return LV2_WORKER_SUCCESS;
  };
  mMapFeature = {LV2_URID__map, &mMap};
  mLogFeature = {LV2_LOG__log, &mLog};
  mScheduleFeature = {LV2_WORKER__schedule, &mSchedule};
  mList = {&mMapFeature, &mLogFeature, &mScheduleFeature, nullptr};
}

int Features::logv(LV2_Log_Handle handle, LV2_URID, const char *fmt, va_list args) {
  char line[1024];
  const int n = std::vsnprintf(line, sizeof line, fmt, args);
  static_cast<Features *>(handle)->logged += line;
  return n;
}

void Features::doScheduledWork() {
  if (!mWorkSize) return;
  worker->work(
      workerHandle, [](LV2_Worker_Respond_Handle, uint32_t, const void *) { return LV2_WORKER_SUCCESS; }, nullptr,
      mWorkSize, mWork);
  mWorkSize = 0;
}

LV2_URID Features::map(const char *uri) {
  auto it = mIds.find(uri);
  if (it != mIds.end()) return it->second;
  const LV2_URID id = (LV2_URID)mIds.size() + 1;
  mIds[uri] = id;
  return id;
}

Plugin::Plugin(const std::string &uri, Features *features, double rate) : mFeatures(features) {
  const LilvPlugin *p = Bundle::get().plugin(uri);
  if (!p) return;
  mPorts = Bundle::get().ports(uri);
  mInstance = lilv_plugin_instantiate(p, rate, features ? features->all() : nullptr);
  if (!mInstance) return;
  if (features) {
    features->worker = static_cast<const LV2_Worker_Interface *>(
        lilv_instance_get_extension_data(mInstance, LV2_WORKER__interface));
    features->workerHandle = lilv_instance_get_handle(mInstance);
  }
  mControls.resize(mPorts.size());
  mDisconnected.assign(mPorts.size(), false);
  for (size_t i = 0; i < mPorts.size(); i++) {
    mControls[i] = mPorts[i].defaultValue;
    if (mPorts[i].atom) mEventsPort = (int)i;
  }
  mAudio.assign(mPorts.size(), std::vector<float>());
  for (size_t i = 0; i < mPorts.size(); i++)
    if (mPorts[i].audio) mAudio[i].assign(kLongestBlock, 0.0f);
  mAlias.assign(mPorts.size(), -1);
  mSequence.assign(kSequenceBytes / 8, 0);
  auto *seq = reinterpret_cast<LV2_Atom_Sequence *>(mSequence.data());
  seq->atom.size = sizeof(LV2_Atom_Sequence_Body);
  seq->atom.type = features ? features->map(LV2_ATOM__Sequence) : 0;
  lilv_instance_activate(mInstance);
}

Plugin::~Plugin() {
  if (mInstance) {
    lilv_instance_deactivate(mInstance);
    lilv_instance_free(mInstance);
  }
}

int Plugin::port(const std::string &symbol) const {
  for (size_t i = 0; i < mPorts.size(); i++)
    if (mPorts[i].symbol == symbol) return (int)i;
  throw std::runtime_error("no port " + symbol);
}

std::vector<int> Plugin::audioInputs() const {
  std::vector<int> list;
  for (size_t i = 0; i < mPorts.size(); i++)
    if (mPorts[i].audio && mPorts[i].input) list.push_back((int)i);
  return list;
}

std::vector<int> Plugin::audioOutputs() const {
  std::vector<int> list;
  for (size_t i = 0; i < mPorts.size(); i++)
    if (mPorts[i].audio && !mPorts[i].input) list.push_back((int)i);
  return list;
}

void Plugin::disconnect(int index) { mDisconnected[index] = true; }

void Plugin::shareBuffer(int out, int in) { mAlias[out] = in; }

void Plugin::connectAll() {
  for (size_t i = 0; i < mPorts.size(); i++) {
    void *data = nullptr;
    if (mPorts[i].audio) data = mAlias[i] >= 0 ? mAudio[mAlias[i]].data() : mAudio[i].data();
    else if (mPorts[i].atom) data = mSequence.data();
    else data = &mControls[i];
    lilv_instance_connect_port(mInstance, (uint32_t)i, mDisconnected[i] ? nullptr : data);
  }
}

void Plugin::pushEvent(uint32_t frame, const LV2_Atom *atom) {
  auto *seq = reinterpret_cast<LV2_Atom_Sequence *>(mSequence.data());
  auto *ev = reinterpret_cast<LV2_Atom_Event *>(reinterpret_cast<char *>(&seq->body) + seq->atom.size);
  ev->time.frames = frame;
  std::memcpy(&ev->body, atom, sizeof(LV2_Atom) + atom->size);
  seq->atom.size += (uint32_t)lv2_atom_pad_size(sizeof(LV2_Atom_Event) + atom->size);
}

void Plugin::noteOn(uint32_t frame, int note, int velocity) {
  struct {
    LV2_Atom atom;
    uint8_t msg[3];
  } midi{{3, mFeatures ? mFeatures->map(LV2_MIDI__MidiEvent) : 0}, {LV2_MIDI_MSG_NOTE_ON, (uint8_t)note, (uint8_t)velocity}};
  pushEvent(frame, &midi.atom);
}

std::vector<std::vector<float>> Plugin::render(const std::vector<std::vector<float>> &inputs, size_t total,
                                               const std::vector<int> &blocks) {
  const std::vector<int> ins = audioInputs(), outs = audioOutputs();
  std::vector<std::vector<float>> result(outs.size(), std::vector<float>(total));
  connectAll();
  size_t done = 0;
  for (size_t b = 0; done < total; b++) {
    const size_t n = std::min<size_t>(blocks[b % blocks.size()], total - done);
    for (size_t k = 0; k < ins.size() && k < inputs.size(); k++)
      if (!mDisconnected[ins[k]]) std::memcpy(mAudio[ins[k]].data(), inputs[k].data() + done, n * sizeof(float));
    lilv_instance_run(mInstance, (uint32_t)n);
    if (mFeatures) mFeatures->doScheduledWork();
    for (size_t k = 0; k < outs.size(); k++) {
      const std::vector<float> &buffer = mAlias[outs[k]] >= 0 ? mAudio[mAlias[outs[k]]] : mAudio[outs[k]];
      std::memcpy(result[k].data() + done, buffer.data(), n * sizeof(float));
    }
    auto *seq = reinterpret_cast<LV2_Atom_Sequence *>(mSequence.data());
    seq->atom.size = sizeof(LV2_Atom_Sequence_Body);
    done += n;
  }
  return result;
}

std::vector<float> noise(int samples, uint32_t seed) {
  std::vector<float> out(samples);
  uint32_t x = seed * 2654435761u + 1;
  for (float &v : out) {
    x = x * 1664525u + 1013904223u;
    v = (float)(int32_t)x * (0.5f / 2147483648.0f);
  }
  return out;
}

} // namespace qvzlv2test
