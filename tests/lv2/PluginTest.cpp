// The plug-ins through a lilv host: every plug-in of the bundle is run on noise at its defaults
// and at two other settings. Re-blocking must not change a sample, the output must be the
// renderer's output of the same unit one frame later, hostile control values must not give
// non-finite output, optional ports may stay unconnected, and bypass gives the dry input.

#include "PluginHost.h"

#include <od/Description.h>

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <set>
#include <sstream>

using namespace qvzlv2test;

namespace {

constexpr int kSamples = 1 << 16;
const std::string kPrefix = "urn:quorvani:lv2:";
// Plug-ins made of more than one unit, or with a detector of their own: no single renderer unit.
const std::set<std::string> kComposites = {"TapDelayStereo", "Compressor", "Drums"};
// Every plug-in the bundle has beyond one per class.
const std::set<std::string> kCombinations = {"ReverseDelayStereo", "TapDelayStereo", "Compressor", "Drums"};

std::string className(const std::string &uri) { return uri.substr(kPrefix.size()); }

std::string buildDir() {
  const char *build = std::getenv("QVZ_BUILD");
  return build ? build : ".";
}

// The control inputs a setting changes (not the bypass switch).
std::vector<int> controls(const Plugin &p) {
  std::vector<int> list;
  for (size_t i = 0; i < p.ports().size(); i++)
    if (p.ports()[i].control && p.ports()[i].input && !p.ports()[i].enabled) list.push_back((int)i);
  return list;
}

// Setting 0 is the defaults; 1 and 2 put every control a quarter and three quarters into its
// range (a scale point there for choices, on and off for switches).
float settingValue(const PortInfo &port, int setting) {
  if (setting == 0) return port.defaultValue;
  const float share = setting == 1 ? 0.25f : 0.75f;
  if (!port.scalePoints.empty()) {
    std::vector<float> points = port.scalePoints;
    std::sort(points.begin(), points.end());
    return points[(size_t)(share * (float)(points.size() - 1) + 0.5f)];
  }
  if (port.toggled || port.trigger) return setting == 1 ? 1.0f : 0.0f;
  const float v = port.minimum + (port.maximum - port.minimum) * share;
  return port.integer ? std::round(v) : v;
}

void applySetting(Plugin &p, int setting) {
  for (int i : controls(p)) p.control(i) = settingValue(p.ports()[i], setting);
}

std::vector<std::vector<float>> noiseInputs(const Plugin &p) {
  std::vector<std::vector<float>> inputs;
  for (size_t k = 0; k < p.audioInputs().size(); k++) inputs.push_back(noise(kSamples, (uint32_t)k + 7));
  return inputs;
}

// Block sizes from 1 to 4096, many of them small.
std::vector<int> randomBlocks(uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<int> blocks;
  for (int i = 0; i < 200; i++) blocks.push_back(1 + (int)(random() % (random() % 2 ? 4096 : 64)));
  return blocks;
}

bool allFinite(const std::vector<std::vector<float>> &outputs) {
  for (const auto &channel : outputs)
    for (float v : channel)
      if (!std::isfinite(v)) return false;
  return true;
}

// How the renderer builds each class where it takes arguments, as the plug-ins do.
std::string constructor(const std::string &name) {
  if (name == "Pluck") return "q.Pluck(0.05)";
  if (name == "ReverseDelay") return "q.ReverseDelay(1)\nunit:allocateTimeUpTo(4.0)";
  if (name == "ReverseDelayStereo") return "q.ReverseDelay(2)\nunit:allocateTimeUpTo(4.0)";
  if (name == "MorphoHead") return "q.MorphoHead(2)";
  return "q." + name + "()";
}

void writeWav(const std::string &path, const std::vector<std::vector<float>> &channels) {
  SF_INFO info{};
  info.samplerate = (int)kRate;
  info.channels = (int)channels.size();
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE *file = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(file, nullptr);
  std::vector<float> interleaved(channels.size() * channels[0].size());
  for (size_t i = 0; i < channels[0].size(); i++)
    for (size_t c = 0; c < channels.size(); c++) interleaved[i * channels.size() + c] = channels[c][i];
  sf_writef_float(file, interleaved.data(), (sf_count_t)channels[0].size());
  sf_close(file);
}

std::vector<std::vector<float>> readWav(const std::string &path) {
  SF_INFO info{};
  SNDFILE *file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file) return {};
  std::vector<float> interleaved((size_t)(info.frames * info.channels));
  sf_readf_float(file, interleaved.data(), info.frames);
  sf_close(file);
  std::vector<std::vector<float>> channels(info.channels, std::vector<float>(info.frames));
  for (sf_count_t i = 0; i < info.frames; i++)
    for (int c = 0; c < info.channels; c++) channels[c][i] = interleaved[i * info.channels + c];
  return channels;
}

// Renders the plug-in's unit with `qvz render --frame 32 --seed 1`, every control set as the
// plug-in's, the noise as its input file.
std::vector<std::vector<float>> renderWithQvz(const Plugin &p, const std::string &name,
                                              const std::vector<std::vector<float>> &inputs, const std::string &tag) {
  const std::string dir = buildDir() + "/lv2-test";
  std::system(("mkdir -p " + dir).c_str());
  const std::string patch = dir + "/" + tag + ".lua", in = dir + "/" + tag + "-in.wav", out = dir + "/" + tag + ".wav";
  std::ostringstream lua;
  lua.precision(9);
  lua << "local od = require \"od\"\nlocal q = require \"qvz_libQuorvani\"\nlocal ins = {...}\n"
      << "local unit = " << constructor(name) << "\n"
      << "local function set(name, v)\n"
         "  local i = unit:getInput(name) if i then i:setConstant(v) return end\n"
         "  local p = unit:getParameter(name) if p then p:hardSet(v) return end\n"
         "  local o = unit:getOption(name) if o then o:set(math.tointeger(v)) end\n"
         "end\n";
  const std::vector<int> ins = p.audioInputs();
  for (size_t k = 0; k < ins.size(); k++)
    lua << "unit:getInput(\"" << p.ports()[ins[k]].name << "\"):connect(ins[" << k + 1 << "])\n";
  for (int i : controls(p)) {
    const PortInfo &port = p.ports()[i];
    const float v = const_cast<Plugin &>(p).control(i);
    if (port.integer) lua << "set(\"" << port.name << "\", " << (long)v << ")\n";
    else lua << "set(\"" << port.name << "\", " << v << ")\n";
  }
  lua << "return {";
  for (int o : p.audioOutputs()) lua << "unit:getOutput(\"" << p.ports()[o].name << "\"), ";
  lua << "}\n";
  std::ofstream(patch) << lua.str();
  std::string command = buildDir() + "/qvz render " + patch + " -o " + out + " --frame 32 --seed 1";
  if (inputs.empty()) {
    char seconds[64];
    std::snprintf(seconds, sizeof seconds, "%.17g", kSamples / kRate);
    command += std::string(" --seconds ") + seconds;
  } else {
    writeWav(in, inputs);
    command += " -i " + in;
  }
  command += " > /dev/null";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  return readWav(out);
}

class EveryPlugin : public ::testing::TestWithParam<std::string> {};

TEST_P(EveryPlugin, ReblockingInPlaceAndWithoutFeaturesChangesNoSample) {
  for (int setting = 0; setting < 3; setting++) {
    Features features;
    Plugin fixed(GetParam(), &features);
    Plugin bare(GetParam(), nullptr); // lv2apply and lv2bench offer no features at all
    ASSERT_TRUE(fixed.ok() && bare.ok());
    applySetting(fixed, setting);
    applySetting(bare, setting);
    const std::vector<int> ins = bare.audioInputs(), outs = bare.audioOutputs();
    for (size_t k = 0; k < ins.size() && k < outs.size(); k++) bare.shareBuffer(outs[k], ins[k]);
    const auto inputs = noiseInputs(fixed);
    const auto a = fixed.render(inputs, kSamples, {128});
    const auto b = bare.render(inputs, kSamples, randomBlocks(setting + 1));
    ASSERT_EQ(a, b) << "setting " << setting;
    ASSERT_TRUE(allFinite(a)) << "setting " << setting;
  }
}

// Controls that move between spans of 128 samples: whole frames and gathered ones, in place,
// give the same samples as one run per span.
TEST_P(EveryPlugin, MovingControlsGiveTheSameSamplesReblocked) {
  constexpr int kSpan = 128, kSpans = 48;
  Features features;
  Plugin whole(GetParam(), &features), split(GetParam(), &features);
  ASSERT_TRUE(whole.ok() && split.ok());
  const std::vector<int> ins = split.audioInputs(), outs = split.audioOutputs();
  for (size_t k = 0; k < ins.size() && k < outs.size(); k++) split.shareBuffer(outs[k], ins[k]);
  const auto inputs = noiseInputs(whole);
  const std::vector<int> list = controls(whole);
  for (int s = 0; s < kSpans; s++) {
    for (size_t k = 0; k < list.size(); k++) {
      const float v = settingValue(whole.ports()[list[k]], (s / (1 + (int)k % 3) + (int)k) % 3);
      whole.control(list[k]) = split.control(list[k]) = v;
    }
    std::vector<std::vector<float>> span;
    for (const auto &in : inputs) span.emplace_back(in.begin() + s * kSpan, in.begin() + (s + 1) * kSpan);
    ASSERT_EQ(whole.render(span, kSpan, {kSpan}), split.render(span, kSpan, {5, 27, 32, 64})) << "span " << s;
  }
}

TEST_P(EveryPlugin, OutputIsTheRenderersOneFrameLater) {
  const std::string name = className(GetParam());
  if (kComposites.count(name)) GTEST_SKIP() << "no single unit to render";
  float loudest = 0.0f;
  for (int setting = 0; setting < 3; setting++) {
    Features features;
    Plugin plugin(GetParam(), &features);
    ASSERT_TRUE(plugin.ok());
    applySetting(plugin, setting);
    const auto inputs = noiseInputs(plugin);
    const auto got = plugin.render(inputs, kSamples, {128});
    const auto want = renderWithQvz(plugin, name, inputs, name + std::to_string(setting));
    ASSERT_EQ(want.size(), got.size());
    for (size_t c = 0; c < got.size(); c++) {
      ASSERT_EQ(want[c].size(), (size_t)kSamples);
      for (int i = 0; i < kLatency; i++) ASSERT_EQ(got[c][i], 0.0f);
      for (int i = 0; i + kLatency < kSamples; i++) {
        ASSERT_EQ(std::memcmp(&got[c][i + kLatency], &want[c][i], sizeof(float)), 0)
            << "setting " << setting << ", output " << c << ", sample " << i << ": " << got[c][i + kLatency]
            << " vs " << want[c][i];
        loudest = std::max(loudest, std::fabs(want[c][i]));
      }
    }
  }
  if (name != "MorphoHead") { // it has no sample here
    EXPECT_GT(loudest, 0.0f) << "silent in every setting";
  }
}

TEST_P(EveryPlugin, NonFiniteControlsGiveFiniteOutput) {
  for (float hostile : {NAN, INFINITY, -INFINITY}) {
    Features features;
    Plugin probe(GetParam(), &features);
    ASSERT_TRUE(probe.ok());
    const std::vector<int> list = controls(probe);
    // Each control alone, then all of them at once.
    for (size_t which = 0; which <= list.size(); which++) {
      Plugin plugin(GetParam(), &features);
      applySetting(plugin, 1);
      for (size_t k = 0; k < list.size(); k++)
        if (k == which || which == list.size()) plugin.control(list[k]) = hostile;
      const auto out = plugin.render(noiseInputs(plugin), 8192, {100, 37, 1000});
      ASSERT_TRUE(allFinite(out)) << "value " << hostile << " on "
                                  << (which < list.size() ? plugin.ports()[list[which]].symbol : "every control");
    }
  }
}

TEST_P(EveryPlugin, OptionalPortsMayStayUnconnected) {
  Features features;
  Plugin connected(GetParam(), &features);
  Plugin loose(GetParam(), &features);
  ASSERT_TRUE(connected.ok() && loose.ok());
  int optional = 0;
  for (size_t i = 0; i < loose.ports().size(); i++)
    if (loose.ports()[i].optional) {
      loose.disconnect((int)i);
      optional++;
    }
  EXPECT_GE(optional, 1); // at least the latency report
  const auto a = connected.render(noiseInputs(connected), 8192, {256});
  const auto b = loose.render(noiseInputs(loose), 8192, {256});
  EXPECT_TRUE(allFinite(b));
  // Only a side chain or an excitation input changes what an unconnected port means.
  bool changesSound = false;
  for (const PortInfo &port : loose.ports()) changesSound |= port.optional && port.audio;
  if (!changesSound) {
    EXPECT_EQ(a, b);
  }
}

TEST_P(EveryPlugin, BypassCrossfadesToTheDryInput) {
  Features features;
  Plugin plugin(GetParam(), &features);
  ASSERT_TRUE(plugin.ok());
  int enabled = -1;
  for (size_t i = 0; i < plugin.ports().size(); i++)
    if (plugin.ports()[i].enabled) enabled = (int)i;
  ASSERT_GE(enabled, 0);
  const auto inputs = noiseInputs(plugin);
  plugin.render(inputs, 4800, {128}); // running wet
  plugin.control(enabled) = 0.0f;
  const auto out = plugin.render(inputs, kSamples, {77});
  const std::vector<int> ins = plugin.audioInputs();
  const int fade = (int)(0.01 * kRate) + kLatency;
  for (size_t k = 0; k < out.size(); k++) {
    // The dry signal is the input one frame late: the input of the same number, or the only one.
    const std::vector<float> *dry = k < ins.size() && !plugin.ports()[ins[k]].sideChain ? &inputs[k]
                                    : ins.size() == 1                                      ? &inputs[0]
                                                                                           : nullptr;
    for (int i = fade; i < kSamples; i++) {
      const float want = dry ? (*dry)[i - kLatency] : 0.0f;
      ASSERT_EQ(out[k][i], want) << "output " << k << ", sample " << i;
    }
  }
}

std::vector<std::string> everyUri() { return Bundle::get().uris(); }

INSTANTIATE_TEST_SUITE_P(Lv2, EveryPlugin, ::testing::ValuesIn(everyUri()),
                         [](const ::testing::TestParamInfo<std::string> &info) { return className(info.param); });

// A memoryless unit: after a control moves, one frame ramps and every later frame is as if
// the new value had always been there.
TEST(Lv2Controls, AMovedControlHoldsItsNewValueFromTheFrameAfterTheRamp) {
  Features features;
  Plugin moved(kPrefix + "SoftClip", &features), steady(kPrefix + "SoftClip", &features);
  ASSERT_TRUE(moved.ok() && steady.ok());
  const std::vector<float> in = noise(4096, 3);
  const std::vector<std::vector<float>> head{{in.begin(), in.begin() + 256}}, tail{{in.begin() + 256, in.end()}};
  moved.setControl("gain", 2.0f);
  steady.setControl("gain", 5.0f);
  moved.render(head, 256, {128});
  steady.render(head, 256, {128});
  moved.setControl("gain", 5.0f);
  const auto a = moved.render(tail, tail[0].size(), {128}), b = steady.render(tail, tail[0].size(), {128});
  bool ramped = false;
  for (int i = kLatency; i < 2 * kLatency; i++) ramped |= a[0][i] != b[0][i];
  EXPECT_TRUE(ramped);
  for (size_t i = 2 * kLatency; i < a[0].size(); i++) ASSERT_EQ(a[0][i], b[0][i]) << "sample " << i;
}

TEST(Lv2Bundle, OffersAPluginPerAudioClassAndTheFourCombinations) {
  std::set<std::string> want(kCombinations.begin(), kCombinations.end());
  for (const od::ClassDescription *d : od::libraryDescriptions())
    if (d->family != od::Family::Display && std::string(d->name) != "WetDryUnit") want.insert(d->name);
  std::set<std::string> got;
  for (const std::string &uri : Bundle::get().uris()) got.insert(className(uri));
  EXPECT_EQ(got, want);
  EXPECT_EQ(got.size(), 31u);
}

TEST(Lv2Bundle, ASecondRateIsRefusedWhileInstancesLive) {
  Features features;
  auto first = std::make_unique<Plugin>(kPrefix + "BitCrush", &features, 48000.0);
  ASSERT_TRUE(first->ok());
  Plugin other(kPrefix + "Comb", &features, 44100.0);
  EXPECT_FALSE(other.ok());
  EXPECT_NE(features.logged.find("44100"), std::string::npos) << features.logged;
  Plugin same(kPrefix + "Comb", &features, 48000.0);
  EXPECT_TRUE(same.ok());
}

} // namespace
