#include "units/drums/Cowbell.h"
#include "units/drums/Cymbal.h"
#include "units/drums/HiHat.h"
#include "units/drums/Kick.h"
#include "units/drums/Snare.h"
#include "units/drums/Tom.h"

#include <dsp/DrumVoice.h>

#include "drums/DrumTestSupport.h"
#include "support/Harness.h"
#include "support/UnitRegistry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

// Tails: about 14 time constants of the longest decay each voice allows (-120 dB).
QVZ_REGISTER_UNIT("Kick", [] { return new Kick(); }, 42.0f);
QVZ_REGISTER_UNIT("Snare", [] { return new Snare(); }, 21.0f);
QVZ_REGISTER_UNIT("HiHat", [] { return new HiHat(); }, 14.0f);
QVZ_REGISTER_UNIT("Tom", [] { return new Tom(); }, 28.0f);
QVZ_REGISTER_UNIT("Cowbell", [] { return new Cowbell(); }, 14.0f);
QVZ_REGISTER_UNIT("Cymbal", [] { return new Cymbal(); }, 70.0f);

namespace {

using qvztest::ConfigScope;
using qvztest::Feeder;
using qvztest::Held;
using qvztest::runFrame;
using namespace drumtest;

// ---- the shared mechanics --------------------------------------------------------------

TEST(DrumMechanics, NoiseSequencesStartFromTheirSeeds) {
  struct Case {
    uint32_t seed;
    uint32_t states[3];
  };
  const Case cases[] = {{0x01234567u, {0x1FEF839Au, 0x2411FE31u, 0x0F6961DCu}},
                        {0x0BEEF001u, {0x7B4A896Cu, 0x9D84F5DBu, 0x3887B17Eu}},
                        {0xD00D5EEDu, {0x66143368u, 0x7D18FFA7u, 0x83DF78DAu}},
                        {0x0C1CADA5u, {0x3C3082C0u, 0x63BE171Fu, 0x4C5379F2u}}};
  for (const Case &c : cases) {
    dsp::LcgNoise noise(c.seed);
    for (uint32_t expected : c.states) {
      const float sample = noise.next(4.65661287e-10f);
      EXPECT_EQ(noise.state, expected);
      EXPECT_EQ(sample, (float)(int32_t)expected * 4.65661287e-10f);
    }
  }
  dsp::LcgNoise wrap(0xD00D5EEDu); // the third state is negative as a signed integer
  wrap.next(1.0f);
  wrap.next(1.0f);
  EXPECT_LT(wrap.next(1.0f), 0.0f);
}

TEST(DrumMechanics, HalfCycleSineHitsItsExactPoints) {
  EXPECT_EQ(dsp::sineTurns(0.0f), 0.0f);
  EXPECT_EQ(dsp::sineTurns(0.25f), 1.0f);
  EXPECT_EQ(dsp::sineTurns(0.5f), 0.0f);
  EXPECT_EQ(dsp::sineTurns(0.75f), -1.0f);
  for (float p = 0.01f; p < 1.0f; p += 0.0937f) EXPECT_NEAR(dsp::sineTurns(p), std::sin(6.2831853f * p), 0.0025f);
}

// ---- what every voice shares -------------------------------------------------------------

struct VoiceCase {
  const char *name;
  std::function<od::Object *()> make;
};

const VoiceCase kVoices[] = {{"Kick", [] { return new Kick(); }},   {"Snare", [] { return new Snare(); }},
                             {"HiHat", [] { return new HiHat(); }}, {"Tom", [] { return new Tom(); }},
                             {"Cowbell", [] { return new Cowbell(); }}, {"Cymbal", [] { return new Cymbal(); }}};

// Strikes every trigger of a voice at the given samples, tune at 200 Hz, controls mid-range.
std::vector<float> strikeVoice(od::Object &voice, const std::vector<long> &at, long samples) {
  Strikes strikes;
  for (int i = 0; i < voice.inputCount(); i++) {
    od::Inlet *inlet = voice.getInput(i);
    if (inlet->name().compare(0, 4, "Trig") == 0) strikes.push_back({inlet, at});
    else inlet->setConstant(inlet->name() == "Tune" ? 200.0f : (inlet->name() == "Tone" ? 3000.0f : 0.5f));
  }
  return play(voice, *voice.getOutput(0), strikes, samples);
}

TEST(DrumVoices, SilentUntilStruckThenSounding) {
  for (const VoiceCase &v : kVoices) {
    SCOPED_TRACE(v.name);
    qvztest::Held<od::Object> a(v.make());
    const std::vector<float> quiet = strikeVoice(*a, {}, 1024);
    EXPECT_EQ(peak(quiet), 0.0f);
    const std::vector<float> hit = strikeVoice(*a, {100}, 4096);
    EXPECT_EQ(peak(hit, 0, 100), 0.0f);
    EXPECT_GT(peak(hit, 100, 1000), 0.05f);
  }
}

TEST(DrumVoices, FramesBelowFourTouchNothingAndOddFramesRoundDown) {
  for (const VoiceCase &v : kVoices) {
    SCOPED_TRACE(v.name);
    qvztest::Held<od::Object> voice(v.make());
    for (int i = 0; i < voice->inputCount(); i++) voice->getInput(i)->setConstant(1.0f);
    float *out = voice->getOutput(0)->buffer();
    std::fill(out, out + 8, 42.0f);
    {
      ConfigScope scope(48000, 3);
      runFrame(*voice);
      EXPECT_EQ(out[0], 42.0f);
    }
    {
      ConfigScope scope(48000, 6);
      runFrame(*voice);
      EXPECT_NE(out[3], 42.0f);
      EXPECT_EQ(out[4], 42.0f);
    }
  }
}

} // namespace
