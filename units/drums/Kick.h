#pragma once

#include <od/Object.h>

#include <dsp/DrumVoice.h>

// Bass drum: a sine whose pitch falls from up to ten times "Tune" after each strike,
// under a decaying envelope, plus a short noise click, driven into the saturator.
class Kick : public od::Object {
public:
  Kick();
  ~Kick() override;

  void process() OD_NONBLOCKING override;

  od::Inlet mTrigger{"Trig"};
  od::Outlet mOut{"Out"};
  od::Inlet mTune{"Tune"};
  od::Inlet mDecay{"Decay"};
  od::Inlet mPunch{"Punch"};
  od::Inlet mClick{"Click"};
  od::Inlet mDrive{"Drive"};

private:
  float mPhase = 0.0f;
  dsp::DecayEnvelope mAmplitude;
  dsp::DecayEnvelope mPitch;
  dsp::DecayEnvelope mClickLevel;
  dsp::TriggerEdge mGate;
  dsp::LcgNoise mNoise{0x01234567u};
  float mPitchDecay = 0.0f;
  float mClickDecay = 0.0f;
};
