#include "FuzzBox.h"

#include <dsp/Clamp.h>
#include <dsp/OnePole.h>
#include <dsp/Saturator.h>
#include <od/config.h>

#include <cmath>

namespace {
// 48000 x ln 0.995: the DC blocker pole is 0.995 at 48 kHz, a corner near 38.3 Hz at any rate.
constexpr float kBlockerRate = -240.60202f;
// 500 pi: the tone low-pass corner is 250 x 48^tone Hz.
constexpr float kToneRate = -1570.7964f;
constexpr float kToneSpan = 48.0f;
// Drive gain 1 + 99 drive^2: 1 to 100 on a square-law taper.
constexpr float kDriveSpan = 99.0f;
// Half of "Grit" is added after the gain.
constexpr float kBiasScale = 0.5f;
// The hot curve: input x4, positive half flattening at 0.7 x 1.42857, negative at -1.42857.
constexpr float kHotDrive = 4.0f;
constexpr float kHotScale = 1.42857f;
constexpr float kHotPositiveLimit = 0.7f;
constexpr float kHotPositiveSaturation = 0.999999f;
constexpr float kHotNegativeSaturation = -1.42857f;

enum ShapeMode { kSoft = 1, kHard = 2, kHot = 3 };

float shape(int mode, float x) {
  switch (mode) {
  case kSoft:
    return dsp::saturateClipped(x);
  case kHard:
    return dsp::clampNanLow(x, -1.0f, 1.0f);
  default: {
    x *= kHotDrive;
    if (x > 3.0f) return kHotPositiveSaturation;
    if (x < -3.0f) return kHotNegativeSaturation;
    return kHotScale * dsp::clampNanLow(dsp::saturate(x), -1.0f, kHotPositiveLimit);
  }
  }
}
} // namespace

FuzzBox::FuzzBox() {
  addInput(mIn);
  addInput(mDrive);
  addInput(mGrit);
  addInput(mTone);
  addOutput(mOut);
  addParameter(mShape);
  mShape.enableSerialization();
  mBlockerPole = expf(kBlockerRate * samplePeriod());
}

FuzzBox::~FuzzBox() = default;

void FuzzBox::process() {
  const int n = globalConfig.frameLength & ~3;
  if (n < 4) return;
  const float *in = mIn.buffer();
  const float *drive = mDrive.buffer();
  const float *grit = mGrit.buffer();
  float *out = mOut.buffer();

  // Halves of "Shape" round away from zero (the host's roundTarget): 1.5 selects 2, 2.5 selects 3.
  int mode = mShape.roundTarget();
  if (mode < kSoft) mode = kSoft;
  if (mode > kHot) mode = kHot;
  const float tone = dsp::clampNanLow(mTone.buffer()[0], 0.0f, 1.0f);
  const float feedback = expf(kToneRate * samplePeriod() * powf(kToneSpan, tone));
  const float step = 1.0f - feedback;
  const float pole = mBlockerPole;
  float lowPass = mLowPass;
  float previousShaped = mPreviousShaped;
  float blockerOut = mBlockerOut;

  for (int i = 0; i < n; i++) {
    const float d = dsp::clampNanLow(drive[i], 0.0f, 1.0f);
    const float gain = 1.0f + kDriveSpan * (d * d);
    const float bias = kBiasScale * dsp::clampNanLow(grit[i], -1.0f, 1.0f);
    const float y = shape(mode, bias + gain * in[i]);
    blockerOut = y - previousShaped + pole * blockerOut;
    previousShaped = y;
    lowPass = dsp::onePoleStep(lowPass, blockerOut, step);
    out[i] = lowPass;
  }
  // A non-finite input may upset one frame, never the filter memories that follow.
  mLowPass = dsp::finiteOrZero(lowPass);
  mPreviousShaped = dsp::finiteOrZero(previousShaped);
  mBlockerOut = dsp::finiteOrZero(blockerOut);
}
