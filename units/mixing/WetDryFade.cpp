#include "WetDryFade.h"

#include <dsp/Clamp.h>
#include <dsp/OnePole.h>

namespace {
// Reciprocal of the fade glide's time constant (5 ms), 1/s.
constexpr float kFadeGlideRate = 200.0f;
} // namespace

WetDryFade::WetDryFade()
    : mFadeCoefficient(dsp::onePoleCoefficient(kFadeGlideRate, (float)sampleRate())) {
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

  // The position lives in a local for the loop: stores to "Out" could otherwise alias it and
  // force a reload on every sample.
  const float coefficient = mFadeCoefficient;
  float position = mFadePosition;
  for (int j = 0; j < n; j++) {
    const float target = dsp::clampNanHigh(fade[j], 0.0f, 1.0f);
    position = dsp::onePoleStep(position, target, coefficient);
    out[j] = a[j] + position * (b[j] - a[j]);
  }
  mFadePosition = position;
}
