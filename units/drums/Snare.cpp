#include "Snare.h"

#include <dsp/Clamp.h>
#include <dsp/OnePole.h>

#include <algorithm>

namespace {
constexpr float kMinDecay = 0.03f; // body decay range, s
constexpr float kMaxDecay = 1.5f;
constexpr float kWireBaseTime = 0.05f;  // wire decay = 0.05 s + 0.45 x body decay
constexpr float kWireDecayShare = 0.45f;
constexpr float kSnapGain = 1.6f;       // noise gain at "Snap" 1
constexpr float kMinTone = 500.0f;      // noise high-pass corner range, Hz
constexpr float kMaxTone = 9000.0f;
using dsp::kTwoPi;
constexpr float kOvertoneRatio = 1.83f;
constexpr float kOvertoneLevel = 0.55f;
constexpr float kBodyLevel = 0.6f;
constexpr float kNoiseScale = 4.65661287e-10f; // 1 / 2^31
constexpr float kMaxFrequencyShare = 0.45f;    // of the sample rate
} // namespace

Snare::Snare() {
  addInput(mSnap);
  addInput(mTone);
}

Snare::~Snare() = default;

void Snare::render(int n, const float *trigger, const float *tune, float *out, float sampleRate) {
  const float maxFrequency = kMaxFrequencyShare * sampleRate;
  const float decay = dsp::clampNanLow(mDecay.buffer()[0], kMinDecay, kMaxDecay);
  const float bodyDecay = dsp::decayFactor(decay, sampleRate);
  const float wireDecay = dsp::decayFactor(kWireBaseTime + kWireDecayShare * decay, sampleRate);
  const float noiseGain = kSnapGain * dsp::clampNanLow(mSnap.buffer()[0], 0.0f, 1.0f);
  const float tone = std::min(dsp::clampNanLow(mTone.buffer()[0], kMinTone, kMaxTone), maxFrequency);
  const float lowPassStep = dsp::onePoleCoefficient(kTwoPi * tone, sampleRate);

  for (int i = 0; i < n; i++) {
    if (mGate.strikes(trigger[i])) mDrum.strike();
    const float body = mDrum.body.step(bodyDecay);
    const float wires = mDrum.second.step(wireDecay);

    mDrum.advance(tune[i], kOvertoneRatio, maxFrequency, sampleRate);
    const float drum = dsp::sineTurns(mDrum.fundamental) + kOvertoneLevel * dsp::sineTurns(mDrum.overtone);

    const float noise = mNoise.next(kNoiseScale);
    mNoiseLowPass = dsp::onePoleStep(mNoiseLowPass, noise, lowPassStep);
    const float highPassed = noise - mNoiseLowPass;

    out[i] = dsp::drumSaturate(noiseGain * highPassed * wires + kBodyLevel * body * drum);
  }
}
