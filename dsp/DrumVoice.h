#pragma once

// The building blocks every drum voice is wired from: trigger edges, decaying envelopes,
// phase oscillators (alone or in a tuned pair; the metal voices' bank of squares is
// dsp/SquareCluster.h) with a half-cycle rational sine or a square, a pair of high-passes,
// LCG noise and the output saturator. Each voice file keeps only its own wiring and constants.

#include <dsp/Clamp.h>
#include <dsp/OnePole.h>
#include <dsp/Saturator.h>
#include <dsp/SineWindow.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace dsp {

// Rising-edge detector on a gate: a sample is high when strictly above 0.5, and a strike
// is a high sample after one that was not. The state runs on across frames.
struct TriggerEdge {
  bool previousHigh = false;

  bool strikes(float gate) {
    const bool high = gate > 0.5f;
    const bool strike = high && !previousHigh;
    previousHigh = high;
    return strike;
  }
};

// Per-sample factor of an exponential decay with time constant `seconds`: exp(-1 / (T * rate)).
inline float decayFactor(float seconds, float sampleRate) { return expf(-1.0f / (seconds * sampleRate)); }

// An envelope that a strike sets to 1 and every sample (the strike's own included)
// multiplies by its decay factor before use. It never stops on its own.
struct DecayEnvelope {
  float level = 0.0f;

  void strike() { level = 1.0f; }
  float step(float factor) { return level *= factor; }
};

// The phase step in cycles of a frequency: f / rate, with f limited to 0..maxFrequency (NaN
// gives 0). For one sample or four lanes.
template <typename T> inline T phaseStep(T frequency, float maxFrequency, float rate) {
  return clampNanLow(frequency, 0.0f, maxFrequency) / rate;
}

// Adds a step to a phase in cycles and wraps it back into [0, 1) by its integer part.
inline void stepPhase(float &phase, float step) {
  phase += step;
  if (phase >= 1.0f) phase -= floorf(phase);
}

// Advances a phase in cycles at a frequency: by phaseStep(f, maxFrequency, rate).
inline void advancePhaseAt(float &phase, float frequency, float maxFrequency, float rate) {
  stepPhase(phase, phaseStep(frequency, maxFrequency, rate));
}

// Advances a fundamental phase at "Tune" (limited to maxFrequency) and an overtone phase at
// ratio times it; a negative or NaN "Tune" holds both.
inline void advanceTunedPair(float &fundamental, float &overtone, float tune, float ratio, float maxFrequency,
                             float rate) {
  if (!(tune >= 0.0f)) return;
  const float f = std::min(tune, maxFrequency);
  advancePhaseAt(fundamental, f, maxFrequency, rate);
  advancePhaseAt(overtone, ratio * f, maxFrequency, rate);
}

// Two one-pole high-passes in series on one coefficient: each takes its input less its
// one-pole low-pass memory.
struct HighPassPair {
  float memory1 = 0.0f;
  float memory2 = 0.0f;

  float step(float x, float k) {
    memory1 = onePoleStep(memory1, x, k);
    const float h1 = x - memory1;
    memory2 = onePoleStep(memory2, h1, k);
    return h1 - memory2;
  }
};

// Square wave of a phase in cycles: +1 for the first half cycle, -1 for the second.
inline float square(float phase) { return phase < 0.5f ? 1.0f : -1.0f; }

// 32-bit linear congruential noise: state = state * 1664525 + 1013904223 (mod 2^32); the
// new state read as a signed integer times `scale` is the sample (1/2^31 gives -1..1).
struct LcgNoise {
  uint32_t state;

  explicit LcgNoise(uint32_t seed) : state(seed) {}

  float next(float scale) {
    state = state * 1664525u + 1013904223u;
    return (float)(int32_t)state * scale;
  }
};

// Input limit of the drum output saturator; the saturator gives about +-0.9586 there.
constexpr float kDrumSaturatorLimit = 1.7f;

// The drum voices' output stage: the sum limited to +-1.7, then the rational saturator.
inline float drumSaturate(float x) { return saturate(clampNanLow(x, -kDrumSaturatorLimit, kDrumSaturatorLimit)); }
inline float4 drumSaturate(float4 x) { return saturate(clampNanLow(x, -kDrumSaturatorLimit, kDrumSaturatorLimit)); }

} // namespace dsp
