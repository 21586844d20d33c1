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

// Two phase oscillators, one at "Tune" and one at a fixed ratio of it, and two envelopes,
// all struck together (the cowbell's two squares, the snare's body and overtone): a strike
// restarts both phases at 0 and sets both envelopes to 1.
struct TunedPair {
  float fundamental = 0.0f; // cycles
  float overtone = 0.0f;
  dsp::DecayEnvelope body;
  dsp::DecayEnvelope second;

  void strike() {
    fundamental = 0.0f;
    overtone = 0.0f;
    body.strike();
    second.strike();
  }
  // Advances the fundamental at "Tune" and the overtone at ratio times it (dsp::advanceTunedPair).
  void advance(float tune, float ratio, float maxFrequency, float rate) {
    dsp::advanceTunedPair(fundamental, overtone, tune, ratio, maxFrequency, rate);
  }
};

// A sine whose pitch bends down after each strike, with a noise burst on the attack (the
// kick's click, the tom's stick): a strike sets the amplitude, pitch and burst envelopes to
// 1; the voice restarts the phase.
struct SweptSine {
  explicit SweptSine(uint32_t noiseSeed) : noise(noiseSeed) {}

  void strike() {
    amplitude.strike();
    pitch.strike();
    burst.strike();
  }

  float phase = 0.0f; // cycles
  dsp::DecayEnvelope amplitude;
  dsp::DecayEnvelope pitch;
  dsp::DecayEnvelope burst;
  dsp::LcgNoise noise;
};
