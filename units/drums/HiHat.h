#pragma once

#include <od/Object.h>

#include <dsp/DrumVoice.h>

// Hi-hat with closed and open triggers: six free-running squares at inharmonic ratios,
// two high-passes at "Tone", and one squared envelope shared by both hats (a closed
// hit chokes an open one).
class HiHat : public od::Object {
public:
  HiHat();
  ~HiHat() override;

  void process() OD_NONBLOCKING override;

  static constexpr int kOscillators = 6;

  od::Inlet mClosedTrigger{"TrigC"};
  od::Inlet mOpenTrigger{"TrigO"};
  od::Outlet mOut{"Out"};
  od::Inlet mTune{"Tune"};
  od::Inlet mClosedDecay{"DecayC"};
  od::Inlet mOpenDecay{"DecayO"};
  od::Inlet mTone{"Tone"};

private:
  float mPhases[kOscillators] = {0.0f, 0.17f, 0.31f, 0.47f, 0.61f, 0.83f};
  dsp::DecayEnvelope mEnvelope;
  float mEnvelopeDecay = 0.99f; // until the first strike chooses one
  dsp::HighPassPair mHighPass;
  dsp::TriggerEdge mClosedGate;
  dsp::TriggerEdge mOpenGate;
};
