#pragma once

#include <od/Object.h>

#include <dsp/DrumVoice.h>

// Cymbal in three layers: a bright cluster of six free-running squares (with ring
// products) high-passed twice under a short envelope; a two-pole resonator at "Tone"
// excited by the cluster; and high-passed noise ("Sizzle"). The last two follow "Decay".
class Cymbal : public od::Object {
public:
  Cymbal();
  ~Cymbal() override;

  void process() OD_NONBLOCKING override;

  static constexpr int kOscillators = 6;

  od::Inlet mTrigger{"Trig"};
  od::Outlet mOut{"Out"};
  od::Inlet mTune{"Tune"};
  od::Inlet mDecay{"Decay"};
  od::Inlet mTone{"Tone"};
  od::Inlet mSizzle{"Sizzle"};

private:
  float mPhases[kOscillators] = {0.05f, 0.22f, 0.39f, 0.51f, 0.68f, 0.9f};
  dsp::DecayEnvelope mShort;
  dsp::DecayEnvelope mLong;
  dsp::HighPassPair mHighPass;
  float mResonator1 = 0.0f; // last resonator output
  float mResonator2 = 0.0f; // the one before
  float mNoiseHighPass = 0.0f;
  dsp::TriggerEdge mGate;
  dsp::LcgNoise mNoise{0x0C1CADA5u};
  float mShortDecay = 0.0f;
};
