#include "BandSpreader.h"

#include <dsp/Clamp.h>
#include <dsp/Frame.h>
#include <dsp/LaneSums.h>
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

  // The corners' low-passes and the bands' gains run as vector lanes, each lane with the
  // arithmetic of one: corners 0-3 in one vector and 4 alone; the left and the right gains
  // of bands 0-3 in one vector each, and those of bands 4 and 5 in a third (left 4, left 5,
  // right 4, right 5).
  static_assert(kCorners == 5 && kBands == 6, "the lanes below");
  float4 lowPass = simd_load(mLowPass);
  float lowPassTop = mLowPass[4];
  const float4 lowPassStep = simd_load(mLowPassStep);
  const float lowPassStepTop = mLowPassStep[4];
  float4 leftGain = simd_load(mLeftGain);
  float4 rightGain = simd_load(mRightGain);
  float4 topGains = {mLeftGain[4], mLeftGain[5], mRightGain[4], mRightGain[5]};
  const float4 leftGoal = simd_load(leftTarget);
  const float4 rightGoal = simd_load(rightTarget);
  const float4 topGoals = {leftTarget[4], leftTarget[5], rightTarget[4], rightTarget[5]};

  for (int i = 0; i < n; i++) {
    const float mono = (inL[i] + inR[i]) * 0.5f;
    const float settled = dsp::finiteOrZero(mono); // the low-pass memories only take numbers
    lowPass = dsp::onePoleStep(lowPass, simd_set(settled), lowPassStep);
    lowPassTop = dsp::onePoleStep(lowPassTop, settled, lowPassStepTop);
    // Each band is the difference of adjacent low-passes, so the six add up to the mono sum.
    const float4 band = {lowPass[0], lowPass[1] - lowPass[0], lowPass[2] - lowPass[1], lowPass[3] - lowPass[2]};
    const float band4 = lowPassTop - lowPass[3];
    const float band5 = mono - lowPassTop;
    leftGain = dsp::onePoleStep(leftGain, leftGoal, mGainStep);
    rightGain = dsp::onePoleStep(rightGain, rightGoal, mGainStep);
    topGains = dsp::onePoleStep(topGains, topGoals, mGainStep);
    // The bands summed in order, as one at a time.
    const float4 left = band * leftGain;
    const float4 right = band * rightGain;
    const float4 top = float4{band4, band5, band4, band5} * topGains;
    outL[i] = dsp::addLanesInOrder(0.0f, left) + top[0] + top[1];
    outR[i] = dsp::addLanesInOrder(0.0f, right) + top[2] + top[3];
  }
  simd_store(mLowPass, lowPass);
  mLowPass[4] = lowPassTop;
  simd_store(mLeftGain, leftGain);
  simd_store(mRightGain, rightGain);
  mLeftGain[4] = topGains[0];
  mLeftGain[5] = topGains[1];
  mRightGain[4] = topGains[2];
  mRightGain[5] = topGains[3];
}
