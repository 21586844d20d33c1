#include "WetDryFade.h"

#include <dsp/Clamp.h>
#include <dsp/OnePole.h>

namespace {
// Reciprocal of the fade glide's time constant (5 ms), 1/s.
constexpr float kFadeGlideRate = 200.0f;
} // namespace

WetDryFade::WetDryFade()
    : mFadeCoefficient(dsp::onePoleCoefficient(kFadeGlideRate, (float)globalConfig.sampleRate)) {
  addInput(mA);
  addInput(mB);
  addInput(mFade);
  addOutput(mOut);
}

WetDryFade::~WetDryFade() = default;

void WetDryFade::process() {
  const int n = globalConfig.frameLength & ~3;
  if (n < 4) return;
  const float *a = mA.buffer();
  const float *b = mB.buffer();
  const float *fade = mFade.buffer();
  float *out = mOut.buffer();

  for (int j = 0; j < n; j++) {
    const float target = dsp::clampNanHigh(fade[j], 0.0f, 1.0f);
    mFadePosition = dsp::onePoleStep(mFadePosition, target, mFadeCoefficient);
    out[j] = a[j] + mFadePosition * (b[j] - a[j]);
  }
}
