#include "Kick.h"

#include <dsp/Clamp.h>

#include <algorithm>

namespace {
constexpr float kPitchTime = 0.045f; // pitch sweep time constant, s (squared: 22.5 ms audible)
constexpr float kClickTime = 0.0012f; // beater click time constant, s
constexpr float kMinDecay = 0.03f;    // amplitude decay range, s
constexpr float kMaxDecay = 3.0f;
constexpr float kSweepDepth = 9.0f;          // punch 1 starts at 1 + 9 = ten times "Tune"
constexpr float kDriveGain = 4.0f;           // drive 1 pushes the sum by 1 + 4
constexpr float kClickNoiseScale = 3.25962896e-10f; // 0.7 / 2^31: noise within +-0.7
constexpr float kMaxFrequencyShare = 0.45f;  // of the sample rate
} // namespace

Kick::Kick() {
  addInput(mTrigger);
  addOutput(mOut);
  addInput(mTune);
  addInput(mDecay);
  addInput(mPunch);
  addInput(mClick);
  addInput(mDrive);
  const float sampleRate = (float)globalConfig.sampleRate;
  mPitchDecay = dsp::decayFactor(kPitchTime, sampleRate);
  mClickDecay = dsp::decayFactor(kClickTime, sampleRate);
}

Kick::~Kick() = default;

void Kick::process() {
  const int n = globalConfig.frameLength & ~3;
  if (n < 4) return;
  const float *trigger = mTrigger.buffer();
  const float *tune = mTune.buffer();
  float *out = mOut.buffer();

  const float sampleRate = (float)globalConfig.sampleRate;
  const float decay = dsp::clampNanLow(mDecay.buffer()[0], kMinDecay, kMaxDecay);
  const float amplitudeDecay = dsp::decayFactor(decay, sampleRate);
  const float punch = dsp::clampNanLow(mPunch.buffer()[0], 0.0f, 1.0f);
  const float click = dsp::clampNanLow(mClick.buffer()[0], 0.0f, 1.0f);
  const float drive = dsp::clampNanLow(mDrive.buffer()[0], 0.0f, 1.0f);
  const float driveGain = 1.0f + kDriveGain * drive;
  const float makeUp = 1.0f / (1.0f + drive);
  const float maxFrequency = kMaxFrequencyShare * sampleRate;

  for (int i = 0; i < n; i++) {
    if (mGate.strikes(trigger[i])) {
      mPhase = 0.0f;
      mAmplitude.strike();
      mPitch.strike();
      mClickLevel.strike();
    }
    const float amplitude = mAmplitude.step(amplitudeDecay);
    const float pitch = mPitch.step(mPitchDecay);
    const float clickLevel = mClickLevel.step(mClickDecay);

    const float t = tune[i];
    if (t >= 0.0f) { // a negative "Tune" holds the phase
      const float f = std::min(t, maxFrequency) * (1.0f + kSweepDepth * punch * (pitch * pitch));
      dsp::advancePhase(mPhase, f, maxFrequency, sampleRate);
    }
    const float tone = dsp::halfCycleSine(mPhase);
    const float noise = mNoise.next(kClickNoiseScale);

    const float x = noise * click * clickLevel + tone * amplitude;
    out[i] = dsp::drumSaturate(x * driveGain) * makeUp;
  }
}
