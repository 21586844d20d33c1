#include "HiHat.h"

#include <dsp/Clamp.h>
#include <dsp/Frame.h>
#include <dsp/OnePole.h>
#include <dsp/SquareCluster.h>

#include <algorithm>

namespace {
// Partials of a 263 Hz hat at 263, 400, 421, 474, 587 and 845 Hz, relative to the first.
constexpr float kRatios[HiHat::kOscillators] = {1.0f, 1.5209125f, 1.6007605f, 1.8022814f, 2.2319391f, 3.2129278f};
constexpr float kMinClosedDecay = 0.005f; // s
constexpr float kMaxClosedDecay = 0.3f;
constexpr float kMinOpenDecay = 0.05f; // s
constexpr float kMaxOpenDecay = 2.0f;
constexpr float kMinTone = 2000.0f; // high-pass corner range, Hz
constexpr float kMaxTone = 12000.0f;
using dsp::kTwoPi;
constexpr float kMixScale = 0.1667f; // about 1/6 of the six squares
constexpr float kOutputLevel = 1.5f;
constexpr float kMaxFrequencyShare = 0.45f; // of the sample rate
} // namespace

HiHat::HiHat() {
  addInput(mClosedTrigger);
  addInput(mOpenTrigger);
  addOutput(mOut);
  addInput(mTune);
  addInput(mClosedDecay);
  addInput(mOpenDecay);
  addInput(mTone);
}

HiHat::~HiHat() = default;

void HiHat::process() {
  const int n = dsp::usableFrameLength();
  if (n == 0) return;
  const float *closedTrigger = mClosedTrigger.buffer();
  const float *openTrigger = mOpenTrigger.buffer();
  const float *tune = mTune.buffer();
  float *out = mOut.buffer();

  const float sampleRate = (float)this->sampleRate();
  const float maxFrequency = kMaxFrequencyShare * sampleRate;
  const float closedDecay =
      dsp::decayFactor(dsp::clampNanLow(mClosedDecay.buffer()[0], kMinClosedDecay, kMaxClosedDecay), sampleRate);
  const float openDecay =
      dsp::decayFactor(dsp::clampNanLow(mOpenDecay.buffer()[0], kMinOpenDecay, kMaxOpenDecay), sampleRate);
  const float tone = std::min(dsp::clampNanLow(mTone.buffer()[0], kMinTone, kMaxTone), maxFrequency);
  const float highPassStep = dsp::clampNanLow(dsp::onePoleCoefficient(kTwoPi * tone, sampleRate), 0.0f, 1.0f);

  dsp::SquareCluster squares(mPhases, kRatios);
  for (int i = 0; i < n; i++) {
    if (mClosedGate.strikes(closedTrigger[i])) {
      mEnvelope.strike();
      mEnvelopeDecay = closedDecay;
    }
    if (mOpenGate.strikes(openTrigger[i])) { // after the closed one, so it wins a tie
      mEnvelope.strike();
      mEnvelopeDecay = openDecay;
    }
    const float envelope = mEnvelope.step(mEnvelopeDecay);

    squares.advanceTuned(tune[i], maxFrequency, sampleRate);
    float q[kOscillators];
    squares.squares(q);
    float sum = 0.0f;
    for (int k = 0; k < kOscillators; k++) sum += q[k];
    const float metal = sum * kMixScale;

    out[i] = kOutputLevel * (envelope * envelope) * mHighPass.step(metal, highPassStep);
  }
  squares.store(mPhases);
}
