// What reaches the plug-ins through their events port and extensions: MIDI notes at their
// samples, the host tempo, the sample player's file through the worker and the state, and
// instances running on several threads at once.

#include "PluginHost.h"
#include "RealtimeGuard.h"

#include <lv2/atom/forge.h>
#include <lv2/patch/patch.h>
#include <lv2/state/state.h>
#include <lv2/time/time.h>

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <thread>

using namespace qvzlv2test;

namespace {

const std::string kPrefix = "urn:quorvani:lv2:";
constexpr int kBlock = 4096;

// The first sample of any output above a whisper, or -1.
int firstSound(const std::vector<std::vector<float>> &outputs) {
  int first = -1;
  for (const auto &channel : outputs)
    for (size_t i = 0; i < channel.size(); i++)
      if (std::fabs(channel[i]) > 1e-6f) {
        if (first < 0 || (int)i < first) first = (int)i;
        break;
      }
  return first;
}

// An atom object built with the forge, for pushEvent.
class Forged {
public:
  explicit Forged(Features &features) {
    mapFeature = {&features, [](LV2_URID_Map_Handle h, const char *uri) { return static_cast<Features *>(h)->map(uri); }};
    lv2_atom_forge_init(&forge, &mapFeature);
    lv2_atom_forge_set_buffer(&forge, buffer, sizeof buffer);
  }
  const LV2_Atom *atom() const { return reinterpret_cast<const LV2_Atom *>(buffer); }

  LV2_URID_Map mapFeature;
  LV2_Atom_Forge forge;
  alignas(8) uint8_t buffer[1024];
};

void pushTempo(Plugin &p, Features &f, float bpm) {
  Forged o(f);
  LV2_Atom_Forge_Frame frame;
  lv2_atom_forge_object(&o.forge, &frame, 0, f.map(LV2_TIME__Position));
  lv2_atom_forge_key(&o.forge, f.map(LV2_TIME__beatsPerMinute));
  lv2_atom_forge_float(&o.forge, bpm);
  lv2_atom_forge_pop(&o.forge, &frame);
  p.pushEvent(0, o.atom());
}

void pushSamplePath(Plugin &p, Features &f, const std::string &path) {
  Forged o(f);
  LV2_Atom_Forge_Frame frame;
  lv2_atom_forge_object(&o.forge, &frame, 0, f.map(LV2_PATCH__Set));
  lv2_atom_forge_key(&o.forge, f.map(LV2_PATCH__property));
  lv2_atom_forge_urid(&o.forge, f.map("urn:quorvani:lv2:MorphoHead#sample"));
  lv2_atom_forge_key(&o.forge, f.map(LV2_PATCH__value));
  lv2_atom_forge_path(&o.forge, path.c_str(), (uint32_t)path.size() + 1);
  lv2_atom_forge_pop(&o.forge, &frame);
  p.pushEvent(0, o.atom());
}

std::string scratch(const std::string &name) {
  const char *build = std::getenv("QVZ_BUILD");
  const std::string dir = std::string(build ? build : ".") + "/lv2-test";
  std::system(("mkdir -p " + dir).c_str());
  return dir + "/" + name;
}

// A mono sine file for the sample player.
std::string sineFile() {
  const std::string path = scratch("sine.wav");
  SF_INFO info{};
  info.samplerate = (int)kRate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE *file = sf_open(path.c_str(), SFM_WRITE, &info);
  std::vector<float> tone((size_t)kRate);
  for (size_t i = 0; i < tone.size(); i++) tone[i] = 0.5f * std::sin(6.2831853f * 220.0f * (float)i / (float)kRate);
  sf_writef_float(file, tone.data(), (sf_count_t)tone.size());
  sf_close(file);
  return path;
}

TEST(Lv2Notes, GeneralMidiDrumNotesStrikeTheirVoicesAtTheirSamples) {
  const int kAt = 1000;
  std::map<int, std::vector<std::vector<float>>> byNote;
  for (int note : {36, 38, 42, 44, 46, 45, 56, 49, 60}) {
    Features features;
    Plugin drums(kPrefix + "Drums", &features);
    ASSERT_TRUE(drums.ok());
    drums.noteOn(kAt, note, 127);
    byNote[note] = drums.render({}, 2 * kBlock, {kBlock});
    const int first = firstSound(byNote[note]);
    if (note == 60) {
      EXPECT_EQ(first, -1) << "note 60 strikes no voice";
      continue;
    }
    EXPECT_GE(first, kAt + kLatency) << "note " << note;
    EXPECT_LE(first, kAt + kLatency + 4) << "note " << note;
  }
  EXPECT_EQ(byNote[42], byNote[44]);  // both close the hi-hat
  EXPECT_NE(byNote[42], byNote[46]);  // 46 opens it
  EXPECT_NE(byNote[36], byNote[38]);

  // Velocity scales the hit.
  Features features;
  Plugin soft(kPrefix + "Drums", &features);
  soft.noteOn(kAt, 36, 64);
  const auto quiet = soft.render({}, 2 * kBlock, {kBlock});
  for (size_t c = 0; c < 2; c++)
    for (int i = 0; i < 2 * kBlock; i++)
      ASSERT_NEAR(quiet[c][i], byNote[36][c][i] * (64.0f / 127.0f), 1e-6f) << "sample " << i;
}

TEST(Lv2Notes, SingleDrumsPluckAndSamplePlayerTakeNotesOnTheirEventsPort) {
  for (const char *name : {"Kick", "Snare", "HiHat", "Tom", "Cowbell", "Cymbal", "Pluck"}) {
    Features features;
    Plugin plugin(kPrefix + name, &features);
    ASSERT_TRUE(plugin.ok());
    // Pluck excites its string with a burst when nothing feeds "In".
    for (int in : plugin.audioInputs()) plugin.disconnect(in);
    plugin.noteOn(700, 69, 100);
    const auto out = plugin.render({}, 2 * kBlock, {kBlock});
    const int first = firstSound(out);
    EXPECT_GE(first, 700 + kLatency) << name;
    EXPECT_LE(first, 700 + kLatency + 4) << name;
    if (std::string(name) == "Pluck") {
      // The note sets f0: the strongest period of the string is 48000 / 440 samples.
      const std::vector<float> &s = out[0];
      int best = 0;
      double bestSum = -1.0;
      for (int lag = 50; lag < 300; lag++) {
        double sum = 0.0;
        for (int i = 2000; i < 6000; i++) sum += (double)s[i] * s[i + lag];
        if (sum > bestSum) bestSum = sum, best = lag;
      }
      EXPECT_NEAR(best, 109, 2);
    }
  }
}

TEST(Lv2Tempo, SyncedTimeAndRateFollowTheHostTempo) {
  // At 120 beats per minute a quarter note is 0.5 s: the delay's spacing, the flanger's cycle.
  for (auto [name, symbol, value] : {std::tuple<const char *, const char *, float>{"TapDelay", "time", 0.5f},
                                     {"TapDelayStereo", "time", 0.5f}, {"Flanger", "rate", 2.0f}}) {
    Features features;
    Plugin synced(kPrefix + name, &features);
    Plugin set(kPrefix + name, &features);
    ASSERT_TRUE(synced.ok() && set.ok());
    synced.setControl("tempo_sync", 1.0f);
    synced.setControl("division", 3.0f);
    pushTempo(synced, features, 120.0f);
    set.setControl(symbol, value);
    std::vector<std::vector<float>> inputs;
    for (size_t k = 0; k < set.audioInputs().size(); k++) inputs.push_back(noise(3 * kBlock, 3));
    EXPECT_EQ(synced.render(inputs, 3 * kBlock, {kBlock}), set.render(inputs, 3 * kBlock, {kBlock})) << name;
  }
}

double rms(const std::vector<float> &v, size_t from) {
  double sum = 0.0;
  for (size_t i = from; i < v.size(); i++) sum += (double)v[i] * v[i];
  return std::sqrt(sum / (double)(v.size() - from));
}

TEST(Lv2Compressor, ItsDetectorFollowsTheInputOrTheSideChain) {
  const size_t n = 4 * kBlock;
  std::vector<float> loud = noise((int)n, 9), silent(n, 0.0f);
  for (float &v : loud) v *= 1.8f; // about +-0.9, well above the threshold
  const auto run = [&](bool sideChain, const std::vector<float> &key) {
    Features features;
    Plugin compressor(kPrefix + "Compressor", &features);
    compressor.setControl("detect_side_chain", sideChain ? 1.0f : 0.0f);
    return compressor.render({loud, key}, n, {kBlock})[0];
  };
  EXPECT_LT(rms(run(false, silent), n / 2), 0.6 * rms(loud, n / 2)) << "its own input is reduced";
  EXPECT_LT(rms(run(true, loud), n / 2), 0.6 * rms(loud, n / 2)) << "a loud key reduces it";
  const auto keyedBySilence = run(true, silent);
  for (size_t i = kLatency; i < n; i++) ASSERT_EQ(keyedBySilence[i], loud[i - kLatency]) << "sample " << i;
}

// State kept in memory, as a host would keep it in its session.
struct SavedState {
  std::map<uint32_t, std::pair<std::string, uint32_t>> values;

  static LV2_State_Status store(LV2_State_Handle h, uint32_t key, const void *value, size_t size, uint32_t type,
                                uint32_t) {
    static_cast<SavedState *>(h)->values[key] = {std::string(static_cast<const char *>(value), size), type};
    return LV2_STATE_SUCCESS;
  }
  static const void *retrieve(LV2_State_Handle h, uint32_t key, size_t *size, uint32_t *type, uint32_t *flags) {
    auto &values = static_cast<SavedState *>(h)->values;
    auto it = values.find(key);
    if (it == values.end()) return nullptr;
    *size = it->second.first.size();
    *type = it->second.second;
    *flags = LV2_STATE_IS_POD;
    return it->second.first.data();
  }
};

const LV2_State_Interface *stateOf(Plugin &p) {
  return static_cast<const LV2_State_Interface *>(lilv_instance_get_extension_data(p.instance(), LV2_STATE__interface));
}

TEST(Lv2SamplePlayer, TheWorkerLoadsTheFileAndTheStateBringsItBack) {
  Features features;
  Plugin first(kPrefix + "MorphoHead", &features);
  ASSERT_TRUE(first.ok());
  EXPECT_EQ(firstSound(first.render({}, kBlock, {512})), -1) << "silent until a sample is set";
  const std::string path = sineFile();
  pushSamplePath(first, features, path);
  const auto played = first.render({}, 4 * kBlock, {kBlock});
  EXPECT_GE(firstSound(played), 0);
  EXPECT_EQ(played[0], played[1]) << "a mono sample plays on both sides";

  SavedState saved;
  ASSERT_EQ(stateOf(first)->save(first.instance()->lv2_handle, SavedState::store, &saved, 0, features.all()),
            LV2_STATE_SUCCESS);
  ASSERT_EQ(saved.values.size(), 1u);
  EXPECT_EQ(saved.values.begin()->second.first.c_str(), path);

  // A new instance restored from the state plays as one given the file at its start. (One
  // host, one URID map; the worker goes to the instance made last.)
  Plugin restored(kPrefix + "MorphoHead", &features);
  ASSERT_EQ(stateOf(restored)->restore(restored.instance()->lv2_handle, SavedState::retrieve, &saved, 0,
                                       features.all()),
            LV2_STATE_SUCCESS);
  Plugin fresh(kPrefix + "MorphoHead", &features);
  // The worker loads the file once the block that asked for it has run: a one-sample block
  // (shorter than a frame, so nothing is processed yet) for each.
  pushSamplePath(fresh, features, path);
  fresh.render({}, 1, {1});
  restored.render({}, 1, {1});
  const auto a = restored.render({}, 4 * kBlock, {kBlock});
  EXPECT_EQ(a, fresh.render({}, 4 * kBlock, {kBlock}));
  EXPECT_GE(firstSound(a), 0);
}

TEST(Lv2SamplePlayer, AMissingOrHostileFileIsLoggedAndTheInstanceRunsOn) {
  const std::string hostile = scratch("hostile.wav");
  {
    std::ofstream file(hostile, std::ios::binary);
    file << "RIFF\xff\xff\xff\x7fWAVEfmt \x10\x00\x00\x00\x03\x00\xff\xff";
    for (int i = 0; i < 200; i++) file << (char)(i * 37);
  }
  for (const std::string &path : {scratch("no-such-file.wav"), hostile}) {
    Features features;
    Plugin player(kPrefix + "MorphoHead", &features);
    ASSERT_TRUE(player.ok());
    pushSamplePath(player, features, sineFile());
    player.render({}, kBlock, {kBlock});
    pushSamplePath(player, features, path);
    const auto out = player.render({}, 4 * kBlock, {kBlock});
    EXPECT_NE(features.logged.find("cannot load '" + path + "'"), std::string::npos) << features.logged;
    EXPECT_GE(firstSound(out), 0) << "the sample loaded before plays on";
  }
}

// After its first block, run() takes no heap memory and no lock, whatever the block length,
// with notes and bypass changes on the way.
TEST(Lv2Realtime, RunNeitherAllocatesNorLocks) {
  if (!qvzrobust::realtimeInterposerActive()) GTEST_SKIP() << "the sanitizer owns the heap functions";
  for (const std::string &uri : Bundle::get().uris()) {
    Features features;
    Plugin plugin(uri, &features);
    ASSERT_TRUE(plugin.ok());
    std::vector<std::vector<float>> inputs(plugin.audioInputs().size(), noise(kBlock, 5));
    plugin.render(inputs, kBlock, {kBlock}); // connects every port
    int enabled = -1;
    for (size_t i = 0; i < plugin.ports().size(); i++)
      if (plugin.ports()[i].enabled) enabled = (int)i;
    qvzrobust::resetRealtimeCount();
    {
      qvzrobust::InProcess guard;
      for (uint32_t n : {1u, 31u, 32u, 33u, 4096u, 100u, 8192u}) {
        plugin.control(enabled) = n == 100u ? 0.0f : 1.0f;
        lilv_instance_run(plugin.instance(), std::min(n, (uint32_t)kBlock));
      }
    }
    const qvzrobust::RealtimeCount count = qvzrobust::realtimeCount();
    EXPECT_EQ(count.allocations + count.frees, 0) << uri;
    EXPECT_EQ(count.locks, 0) << uri;
  }
}

// Two instances of every plug-in run at once on two threads; each gives what it gives alone.
TEST(Lv2Threads, TwoInstancesOfEveryPluginRunInParallel) {
  const std::vector<std::string> uris = Bundle::get().uris();
  const size_t kSamples = 3 * kBlock;
  const auto inputsFor = [&](Plugin &p) {
    std::vector<std::vector<float>> inputs;
    for (size_t k = 0; k < p.audioInputs().size(); k++) inputs.push_back(noise((int)kSamples, 11 + (uint32_t)k));
    return inputs;
  };
  for (const std::string &uri : uris) {
    Features features;
    Plugin alone(uri, &features);
    ASSERT_TRUE(alone.ok()) << uri;
    for (size_t i = 0; i < alone.ports().size(); i++)
      if (alone.ports()[i].trigger) alone.control((int)i) = 1.0f;
    const auto want = alone.render(inputsFor(alone), kSamples, {128});

    Features f1, f2;
    Plugin a(uri, &f1), b(uri, &f2);
    for (Plugin *p : {&a, &b})
      for (size_t i = 0; i < p->ports().size(); i++)
        if (p->ports()[i].trigger) p->control((int)i) = 1.0f;
    std::vector<std::vector<float>> gotA, gotB;
    const auto inA = inputsFor(a), inB = inputsFor(b);
    std::thread ta([&] { gotA = a.render(inA, kSamples, {128, 7, 300}); });
    std::thread tb([&] { gotB = b.render(inB, kSamples, {64, 1000}); });
    ta.join();
    tb.join();
    EXPECT_EQ(gotA, want) << uri;
    EXPECT_EQ(gotB, want) << uri;
  }
}

} // namespace
