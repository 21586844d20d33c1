#include "Tom.h"

#include <dsp/Clamp.h>

#include <algorithm>

namespace {
constexpr float kPitchTime = 0.12f;  // pitch bend time constant, s
constexpr float kStickTime = 0.008f; // stick noise time constant, s
constexpr float kMinDecay = 0.05f;   // amplitude decay range, s
constexpr float kMaxDecay = 2.0f;
constexpr float kBendDepth = 1.4f;   // bend 1 starts at 1 + 1.4 = 2.4 times "Tune"
constexpr float kStickNoiseScale = 1.16415322e-10f; // 0.25 / 2^31: noise within +-0.25
constexpr float kMaxFrequencyShare = 0.45f;         // of the sample rate
} // namespace

Tom::Tom() {
  addInput(mBend);
  const float sampleRate = (float)this->sampleRate();
  mPitchDecay = dsp::decayFactor(kPitchTime, sampleRate);
  mStickDecay = dsp::decayFactor(kStickTime, sampleRate);
}

Tom::~Tom() = default;

void Tom::render(int n, const float *trigger, const float *tune, float *out, float sampleRate) {
  const float amplitudeDecay = dsp::decayFactor(dsp::clampNanLow(mDecay.buffer()[0], kMinDecay, kMaxDecay), sampleRate);
  const float bendDepth = kBendDepth * dsp::clampNanLow(mBend.buffer()[0], 0.0f, 1.0f);
  const float maxFrequency = kMaxFrequencyShare * sampleRate;

  for (int i = 0; i < n; i++) {
    if (mGate.strikes(trigger[i])) {
      mSine.phase = 0.0f;
      mSine.strike();
    }
    const float amplitude = mSine.amplitude.step(amplitudeDecay);
    const float pitch = mSine.pitch.step(mPitchDecay);
    const float stick = mSine.burst.step(mStickDecay);

    const float t = tune[i];
    if (t >= 0.0f) { // a negative "Tune" holds the phase
      const float f = std::min(t, maxFrequency) * (1.0f + bendDepth * pitch);
      dsp::advancePhaseAt(mSine.phase, f, maxFrequency, sampleRate);
    }
    const float tone = dsp::sineTurns(mSine.phase);
    const float noise = mSine.noise.next(kStickNoiseScale);

    out[i] = dsp::drumSaturate(noise * stick + tone * amplitude);
  }
}
