#pragma once

#include <od/Object.h>

#include <dsp/DrumVoice.h>

// Tom-tom: a sine whose pitch bends down from up to 2.4 times "Tune" after each strike,
// under a decaying envelope, with a short noise burst for the stick, into the saturator.
class Tom : public od::Object {
public:
  Tom();
  ~Tom() override;

  void process() OD_NONBLOCKING override;

  od::Inlet mTrigger{"Trig"};
  od::Outlet mOut{"Out"};
  od::Inlet mTune{"Tune"};
  od::Inlet mDecay{"Decay"};
  od::Inlet mBend{"Bend"};

private:
  float mPhase = 0.0f;
  dsp::DecayEnvelope mAmplitude;
  dsp::DecayEnvelope mPitch;
  dsp::DecayEnvelope mStick;
  dsp::TriggerEdge mGate;
  dsp::LcgNoise mNoise{0xD00D5EEDu};
  float mPitchDecay = 0.0f;
  float mStickDecay = 0.0f;
};
