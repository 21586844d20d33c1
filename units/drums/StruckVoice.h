#pragma once

#include <od/Object.h>

#include <dsp/DrumVoice.h>

// A drum voice struck through one trigger. Its first ports are Trig, Out, Tune and Decay (the
// voice adds its own after them); each frame of at least 4 samples it renders n samples (a
// multiple of 4) from the trigger and tune inputs into the output, at the rate it was built at.
class StruckVoice : public od::Object {
public:
  void process() OD_NONBLOCKING final;

  od::Inlet mTrigger{"Trig"};
  od::Outlet mOut{"Out"};
  od::Inlet mTune{"Tune"};
  od::Inlet mDecay{"Decay"};

protected:
  StruckVoice();
  virtual void render(int n, const float *trigger, const float *tune, float *out, float sampleRate) OD_NONBLOCKING = 0;

  dsp::TriggerEdge mGate;
};
