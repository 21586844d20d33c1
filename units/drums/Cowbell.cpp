#include "Cowbell.h"

#include <dsp/Clamp.h>
#include <dsp/OnePole.h>

#include <algorithm>

namespace {
constexpr float kClankTime = 0.008f; // clank time constant, s
constexpr float kMinDecay = 0.03f;   // body decay range, s
constexpr float kMaxDecay = 1.0f;
constexpr float kSecondRatio = 1.4814814f;       // 800 / 540
constexpr float kPerTuning = 0.0018518518f;      // 1 / 540: band corners scale with "Tune" / 540 Hz
constexpr float kHighPassAt540 = 350.0f;         // band-pass corners at "Tune" 540 Hz
constexpr float kLowPassAt540 = 1900.0f;
using dsp::kTwoPi;
constexpr float kLevel = 1.6f;
constexpr float kBodyLevel = 0.9f;
constexpr float kClankLevel = 1.8f;
constexpr float kMaxFrequencyShare = 0.45f; // of the sample rate
} // namespace

Cowbell::Cowbell() {
  addInput(mClank);
  mClankDecay = dsp::decayFactor(kClankTime, (float)sampleRate());
}

Cowbell::~Cowbell() = default;

void Cowbell::render(int n, const float *trigger, const float *tune, float *out, float sampleRate) {
  const float maxFrequency = kMaxFrequencyShare * sampleRate;
  const float bodyDecay = dsp::decayFactor(dsp::clampNanLow(mDecay.buffer()[0], kMinDecay, kMaxDecay), sampleRate);
  const float clank = dsp::clampNanLow(mClank.buffer()[0], 0.0f, 1.0f);
  // The band follows the first sample's tuning; a negative one freezes both filters.
  float highPassStep = 0.0f;
  float lowPassStep = 0.0f;
  const float t0 = tune[0];
  if (t0 >= 0.0f) {
    const float r = std::min(t0, maxFrequency) * kPerTuning;
    highPassStep = dsp::onePoleCoefficient(kTwoPi * std::min(kHighPassAt540 * r, maxFrequency), sampleRate);
    lowPassStep = dsp::onePoleCoefficient(kTwoPi * std::min(kLowPassAt540 * r, maxFrequency), sampleRate);
  }

  for (int i = 0; i < n; i++) {
    if (mGate.strikes(trigger[i])) mSquares.strike();
    const float body = mSquares.body.step(bodyDecay);
    const float clankLevel = mSquares.second.step(mClankDecay);

    mSquares.advance(tune[i], kSecondRatio, maxFrequency, sampleRate);
    const float q = (dsp::square(mSquares.fundamental) + dsp::square(mSquares.overtone)) / 2.0f;

    mHighPass = dsp::onePoleStep(mHighPass, q, highPassStep);
    const float h = q - mHighPass;
    mLowPass = dsp::onePoleStep(mLowPass, h, lowPassStep);

    out[i] = dsp::drumSaturate(kLevel * (kBodyLevel * body + kClankLevel * clank * clankLevel) * mLowPass);
  }
}
