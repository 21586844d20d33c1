// What the distortion and dynamics units share: registration for the common sweeps, frame
// splitting, hostile control values and short frames.

#include "units/dynamics/BandSpreader.h"
#include "units/dynamics/CompressorObject.h"
#include "units/dynamics/Exciter.h"
#include "units/dynamics/FuzzBox.h"
#include "units/dynamics/Grotesque.h"
#include "units/dynamics/Lofi.h"
#include "units/dynamics/Shaper.h"

#include "support/Harness.h"
#include "support/UnitRegistry.h"

#include <od/Random.h>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

QVZ_REGISTER_UNIT("CompressorObject", [] { return new CompressorObject(); });
QVZ_REGISTER_UNIT("Exciter", [] { return new Exciter(); });
QVZ_REGISTER_UNIT("FuzzBox", [] { return new FuzzBox(); }, 0.2f);
QVZ_REGISTER_UNIT("Lofi", [] { return new Lofi(); }, 0.2f);
QVZ_REGISTER_UNIT("Grotesque", [] { return new Grotesque(); }, -1.0f); // noise seeds its loop
QVZ_REGISTER_UNIT("Shaper", [] { return new Shaper(); });
QVZ_REGISTER_UNIT("BandSpreader", [] { return new BandSpreader(); }, 0.1f);

namespace {

using qvztest::ConfigScope;
using qvztest::Held;
using qvztest::runFrame;

struct Family {
  std::string name;
  std::function<od::Object *()> make;
  std::vector<std::string> limitedControls; // inlets whose values the unit limits
};

const std::vector<Family> &family() {
  static const std::vector<Family> units = {
      {"CompressorObject", [] { return new CompressorObject(); }, {"SCIn", "Threshold", "Ratio"}},
      {"Exciter", [] { return new Exciter(); }, {}}, // "AxMix" is applied without limits
      {"FuzzBox", [] { return new FuzzBox(); }, {"Drive", "Grit", "Tone"}},
      {"Lofi", [] { return new Lofi(); }, {"Depth", "Speed", "Blend"}},
      {"Grotesque", [] { return new Grotesque(); }, {"High", "Low", "Gain", "Input"}},
      {"Shaper", [] { return new Shaper(); }, {"Atk", "Sus"}},
      {"BandSpreader", [] { return new BandSpreader(); },
       {"Pan1", "Pan2", "Pan3", "Pan4", "Pan5", "Pan6", "Level1", "Level2", "Level3", "Level4", "Level5", "Level6"}},
  };
  return units;
}

bool isAudioInput(const std::string &name) { return name == "In" || name == "InL" || name == "InR"; }

// Renders `samples` samples with every inlet fed: audio inlets a tone, controls a slow sweep
// between 0 and 1 that only changes every 256 samples (so per-frame reads agree).
std::vector<float> render(const Family &unit, int frameLength, int samples) {
  ConfigScope scope(48000, frameLength);
  od::Random::seed(5);
  qvztest::FedObject fed(unit.make());
  od::Object &object = *fed.object;
  std::vector<float> all;
  for (int frame = 0; frame * frameLength < samples; frame++) {
    fed.fill(frame, [&](int i, long k) {
      return isAudioInput(object.getInput(i)->name()) ? 0.7f * sinf(0.02f * (float)(i + 1) * (float)k)
                                                      : 0.5f + 0.5f * sinf(0.3f * (float)(i + 1) + (float)(k / 256));
    });
    runFrame(object);
    fed.appendOutputs(all);
  }
  return all;
}

// Reorders per-frame outlet blocks into one stream per outlet.
std::vector<float> byOutlet(const std::vector<float> &all, int outlets, int frameLength) {
  std::vector<float> out(all.size());
  const int frames = (int)all.size() / (outlets * frameLength);
  for (int f = 0; f < frames; f++)
    for (int o = 0; o < outlets; o++)
      for (int j = 0; j < frameLength; j++)
        out[(size_t)o * frames * frameLength + f * frameLength + j] = all[((size_t)f * outlets + o) * frameLength + j];
  return out;
}

TEST(DynamicsFamily, StateCarriesAcrossFrameEdges) {
  for (const Family &unit : family()) {
    const int outlets = Held<od::Object>(unit.make())->outputCount();
    const std::vector<float> whole = byOutlet(render(unit, 256, 2048), outlets, 256);
    const std::vector<float> split = byOutlet(render(unit, 32, 2048), outlets, 32);
    ASSERT_EQ(whole.size(), split.size());
    for (size_t i = 0; i < whole.size(); i++) ASSERT_EQ(whole[i], split[i]) << unit.name << " sample " << i;
  }
}

TEST(DynamicsFamily, HostileControlValuesKeepTheOutputFinite) {
  for (const Family &unit : family()) {
    for (const std::string &control : unit.limitedControls) {
      for (float hostile : {NAN, INFINITY, -INFINITY, 1e30f, -1e30f}) {
        Held<od::Object> object(unit.make());
        for (int i = 0; i < object->inputCount(); i++) {
          od::Inlet *inlet = object->getInput(i);
          inlet->setConstant(isAudioInput(inlet->name()) ? 0.5f : 0.7f);
        }
        object->getInput(control)->setConstant(hostile);
        for (int f = 0; f < 20; f++) {
          runFrame(*object);
          for (int o = 0; o < object->outputCount(); o++)
            for (int j = 0; j < globalConfig.frameLength; j++)
              ASSERT_TRUE(std::isfinite(object->getOutput(o)->buffer()[j]))
                  << unit.name << " " << control << " = " << hostile;
        }
      }
    }
  }
}

TEST(DynamicsFamily, OnlyWholeGroupsOfFourAreWritten) {
  for (int frameLength : {3, 6}) {
    ConfigScope scope(48000, frameLength);
    for (const Family &unit : family()) {
      Held<od::Object> object(unit.make());
      for (int i = 0; i < object->inputCount(); i++) object->getInput(i)->setConstant(0.5f);
      for (int o = 0; o < object->outputCount(); o++)
        for (int j = 0; j < 8; j++) object->getOutput(o)->buffer()[j] = 42.0f;
      runFrame(*object);
      for (int o = 0; o < object->outputCount(); o++) {
        const float *out = object->getOutput(o)->buffer();
        const int written = frameLength & ~3;
        for (int j = 0; j < written; j++) EXPECT_NE(out[j], 42.0f) << unit.name << " " << frameLength;
        for (int j = written; j < frameLength; j++) EXPECT_EQ(out[j], 42.0f) << unit.name << " " << frameLength;
      }
    }
  }
}

} // namespace
