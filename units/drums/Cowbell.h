#pragma once

#include <od/Object.h>

#include <dsp/DrumVoice.h>

// Cowbell: two squares at "Tune" and 800/540 of it through a band-pass that follows the
// tuning, under a body envelope plus a short louder clank, into the saturator.
class Cowbell : public od::Object {
public:
  Cowbell();
  ~Cowbell() override;

  void process() OD_NONBLOCKING override;

  od::Inlet mTrigger{"Trig"};
  od::Outlet mOut{"Out"};
  od::Inlet mTune{"Tune"};
  od::Inlet mDecay{"Decay"};
  od::Inlet mClank{"Clank"};

private:
  float mPhase1 = 0.0f;
  float mPhase2 = 0.0f;
  dsp::DecayEnvelope mBody;
  dsp::DecayEnvelope mClankLevel;
  float mHighPass = 0.0f;
  float mLowPass = 0.0f;
  dsp::TriggerEdge mGate;
  float mClankDecay = 0.0f;
};
