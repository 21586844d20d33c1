#pragma once

#include <od/Object.h>

#include <dsp/DrumVoice.h>

// Snare drum: a two-sine body ("Tune" and 1.83 times it) under one envelope, plus
// high-passed noise for the wires under a longer one, into the saturator.
class Snare : public od::Object {
public:
  Snare();
  ~Snare() override;

  void process() OD_NONBLOCKING override;

  od::Inlet mTrigger{"Trig"};
  od::Outlet mOut{"Out"};
  od::Inlet mTune{"Tune"};
  od::Inlet mDecay{"Decay"};
  od::Inlet mSnap{"Snap"};
  od::Inlet mTone{"Tone"};

private:
  float mBodyPhase = 0.0f;
  float mOvertonePhase = 0.0f;
  dsp::DecayEnvelope mBody;
  dsp::DecayEnvelope mWires;
  float mNoiseLowPass = 0.0f;
  dsp::TriggerEdge mGate;
  dsp::LcgNoise mNoise{0x0BEEF001u};
};
