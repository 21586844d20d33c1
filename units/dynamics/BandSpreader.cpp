#include "BandSpreader.h"

#include <dsp/Clamp.h>
#include <dsp/Frame.h>
#include <dsp/OnePole.h>
#include <od/config.h>

#include <cmath>

namespace {
// 2 pi f for the band corners 120, 350, 1000, 2800 and 8000 Hz.
using dsp::kTwoPi;
const float kCornerRates[BandSpreader::kCorners] = {kTwoPi * 120.0f, kTwoPi * 350.0f, kTwoPi * 1000.0f, kTwoPi * 2800.0f,
                                                    kTwoPi * 8000.0f};
// Centre pan at full level: sqrt(0.5) on each side.
constexpr float kCentreGain = 0.70710677f;
// Reciprocal of the 3 ms gain glide.
constexpr float kGainRate = 1.0f / 0.003f;
} // namespace

BandSpreader::BandSpreader() {
  addInput(mInL);
  addInput(mInR);
  addOutput(mOutL);
  addOutput(mOutR);
  for (od::Inlet &pan : mPan) addInput(pan);
  for (od::Inlet &level : mLevel) addInput(level);
  const float sampleRate = (float)this->sampleRate();
  for (int c = 0; c < kCorners; c++) mLowPassStep[c] = dsp::onePoleCoefficient(kCornerRates[c], sampleRate);
  for (int b = 0; b < kBands; b++) mLeftGain[b] = mRightGain[b] = kCentreGain;
  mGainStep = dsp::onePoleCoefficient(kGainRate, sampleRate);
}

BandSpreader::~BandSpreader() = default;

void BandSpreader::process() {
  const int n = dsp::usableFrameLength();
  if (n == 0) return;
  const float *inL = mInL.buffer();
  const float *inR = mInR.buffer();
  float *outL = mOutL.buffer();
  float *outR = mOutR.buffer();

  // Constant-power targets from the first sample of each pan and level.
  float leftTarget[kBands];
  float rightTarget[kBands];
  for (int b = 0; b < kBands; b++) {
    const float p = dsp::clampNanLow(mPan[b].buffer()[0], -1.0f, 1.0f);
    const float v = dsp::clampNanLow(mLevel[b].buffer()[0], 0.0f, 1.0f);
    leftTarget[b] = sqrtf((1.0f - p) * 0.5f) * v;
    rightTarget[b] = sqrtf(0.5f + 0.5f * p) * v;
  }

  for (int i = 0; i < n; i++) {
    const float mono = (inL[i] + inR[i]) * 0.5f;
    const float settled = dsp::finiteOrZero(mono); // the low-pass memories only take numbers
    for (int c = 0; c < kCorners; c++) mLowPass[c] = dsp::onePoleStep(mLowPass[c], settled, mLowPassStep[c]);
    // Each band is the difference of adjacent low-passes, so the six add up to the mono sum.
    const float band[kBands] = {mLowPass[0],
                                mLowPass[1] - mLowPass[0],
                                mLowPass[2] - mLowPass[1],
                                mLowPass[3] - mLowPass[2],
                                mLowPass[4] - mLowPass[3],
                                mono - mLowPass[4]};
    float left = 0.0f;
    float right = 0.0f;
    for (int b = 0; b < kBands; b++) {
      mLeftGain[b] = dsp::onePoleStep(mLeftGain[b], leftTarget[b], mGainStep);
      mRightGain[b] = dsp::onePoleStep(mRightGain[b], rightTarget[b], mGainStep);
      left += band[b] * mLeftGain[b];
      right += band[b] * mRightGain[b];
    }
    outL[i] = left;
    outR[i] = right;
  }
}
