#include "Exciter.h"

#include <dsp/Clamp.h>
#include <dsp/OnePole.h>
#include <dsp/Saturator.h>
#include <dsp/SoftClipCurves.h>
#include <od/config.h>

#include <cmath>

namespace {
// 2 pi x 2000 Hz: the low-pass whose residue is the side band.
constexpr float kSideBandRate = 12566.371f;
// 2 pi x 10 Hz: the low-pass whose residue is the DC-free excitation.
constexpr float kDcRate = 62.831856f;
// The shaper sees the side band limited to +-1.5.
constexpr float kShaperLimit = 1.5f;

// The excitation curve for a mode code. The codes are the soft-clip curve codes, but the
// curves are the exciter's own.
float shape(int mode, float h) {
  const float h2 = h * h;
  switch (mode) {
  case dsp::kTanh: // rational saturation
    return dsp::saturate(h);
  case dsp::kSin: // asymmetric: even harmonics
    return h + 0.6f * h2;
  case dsp::kExp: { // cubic soft clip
    const float c = dsp::clampNanLow(h, -1.0f, 1.0f);
    return 1.5f * c - 0.5f * (c * c * c);
  }
  case dsp::kTwoStage: // full-wave rectification: octave up
    return fabsf(h);
  case dsp::kCubic:
    return h + 0.4f * h2 - 0.3f * (h2 * h);
  case dsp::kReciprocal: // folds over beyond |h| = pi / 6
    return sinf(3.0f * h);
  default:
    return h;
  }
}
} // namespace

Exciter::Exciter() {
  addInput(mIn);
  addOutput(mOut);
  addOption(mMode);
  addInput(mAmount);
  const float sampleRate = (float)this->sampleRate();
  mSideBandStep = dsp::onePoleCoefficient(kSideBandRate, sampleRate);
  mDcStep = dsp::onePoleCoefficient(kDcRate, sampleRate);
}

Exciter::~Exciter() = default;

void Exciter::process() {
  const int n = globalConfig.frameLength & ~3;
  if (n < 4) return;
  const float *in = mIn.buffer();
  const float *amount = mAmount.buffer();
  float *out = mOut.buffer();
  const int mode = mMode.value();
  float sideBand = mSideBandLowPass;
  float dc = mDcLowPass;

  for (int i = 0; i < n; i++) {
    const float x = in[i];
    sideBand = dsp::onePoleStep(sideBand, x, mSideBandStep);
    const float h = dsp::clampNanLow(x - sideBand, -kShaperLimit, kShaperLimit);
    const float y = shape(mode, h);
    dc = dsp::onePoleStep(dc, y, mDcStep);
    out[i] = x + (y - dc) * amount[i];
  }
  mSideBandLowPass = sideBand;
  mDcLowPass = dc;
}
