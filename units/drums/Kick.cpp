#include "Kick.h"

#include <dsp/Clamp.h>
#include <od/simd.h>

namespace {
constexpr float kPitchTime = 0.045f; // pitch sweep time constant, s (squared: 22.5 ms audible)
constexpr float kClickTime = 0.0012f; // beater click time constant, s
constexpr float kMinDecay = 0.03f;    // amplitude decay range, s
constexpr float kMaxDecay = 3.0f;
constexpr float kSweepDepth = 9.0f;          // punch 1 starts at 1 + 9 = ten times "Tune"
constexpr float kDriveGain = 4.0f;           // drive 1 pushes the sum by 1 + 4
constexpr float kClickNoiseScale = 3.25962896e-10f; // 0.7 / 2^31: noise within +-0.7
constexpr float kMaxFrequencyShare = 0.45f;  // of the sample rate
constexpr int kBlock = 64;                   // samples per block of the inner passes
} // namespace

Kick::Kick() {
  addInput(mPunch);
  addInput(mClick);
  addInput(mDrive);
  const float sampleRate = (float)this->sampleRate();
  mPitchDecay = dsp::decayFactor(kPitchTime, sampleRate);
  mClickDecay = dsp::decayFactor(kClickTime, sampleRate);
}

Kick::~Kick() = default;

void Kick::render(int n, const float *trigger, const float *tune, float *out, float sampleRate) {
  const float decay = dsp::clampNanLow(mDecay.buffer()[0], kMinDecay, kMaxDecay);
  const float amplitudeDecay = dsp::decayFactor(decay, sampleRate);
  const float punch = dsp::clampNanLow(mPunch.buffer()[0], 0.0f, 1.0f);
  const float click = dsp::clampNanLow(mClick.buffer()[0], 0.0f, 1.0f);
  const float drive = dsp::clampNanLow(mDrive.buffer()[0], 0.0f, 1.0f);
  const float driveGain = 1.0f + kDriveGain * drive;
  const float makeUp = 1.0f / (1.0f + drive);
  const float maxFrequency = kMaxFrequencyShare * sampleRate;

  // In blocks: the recursive parts (strikes, envelopes, noise, phase) run sample by sample
  // on locals stored back at the end, the rest four lanes at a time with the same float
  // operations per sample.
  const float4 punchDepth = simd_set(kSweepDepth * punch);
  const float pitchDecay = mPitchDecay;
  const float clickDecay = mClickDecay;
  dsp::TriggerEdge gate = mGate;
  SweptSine sine = mSine;
  for (int start = 0; start < n; start += kBlock) {
    const int count = n - start < kBlock ? n - start : kBlock;
    const float *trig = trigger + start;
    float amplitude[kBlock], pitch[kBlock], clickLevel[kBlock], noise[kBlock], step[kBlock];
    bool strike[kBlock];
    for (int i = 0; i < count; i++) {
      strike[i] = gate.strikes(trig[i]);
      if (strike[i]) sine.strike();
      amplitude[i] = sine.amplitude.step(amplitudeDecay);
      pitch[i] = sine.pitch.step(pitchDecay);
      clickLevel[i] = sine.burst.step(clickDecay);
      noise[i] = sine.noise.next(kClickNoiseScale);
    }
    // Phase steps f / rate; a negative (or NaN) "Tune" holds the phase.
    for (int i = 0; i < count; i += 4) {
      const float4 t = simd_load(tune + start + i);
      const float4 p = simd_load(pitch + i);
      const float4 limited = maxFrequency < t ? simd_set(maxFrequency) : t; // std::min(t, maxFrequency)
      const float4 f = limited * (1.0f + punchDepth * (p * p));
      simd_store(step + i, dsp::phaseStep(f, maxFrequency, sampleRate));
    }
    float phase[kBlock];
    for (int i = 0; i < count; i++) {
      if (strike[i]) sine.phase = 0.0f;
      if (tune[start + i] >= 0.0f) dsp::stepPhase(sine.phase, step[i]);
      phase[i] = sine.phase;
    }
    for (int i = 0; i < count; i += 4) {
      const float4 tone = dsp::sineTurns(simd_load(phase + i));
      const float4 x = simd_load(noise + i) * click * simd_load(clickLevel + i) + tone * simd_load(amplitude + i);
      simd_store(out + start + i, dsp::drumSaturate(x * driveGain) * makeUp);
    }
  }
  mGate = gate;
  mSine = sine;
}
