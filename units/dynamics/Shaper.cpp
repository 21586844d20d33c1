#include "Shaper.h"

#include <dsp/Clamp.h>
#include <dsp/Frame.h>
#include <dsp/OnePole.h>
#include <od/config.h>

#include <cmath>

namespace {
// Follower time constants in seconds.
constexpr float kFastRise = 0.001f;
constexpr float kFastFall = 0.015f;
constexpr float kSlowRise = 0.02f;
constexpr float kSlowFall = 0.15f;
constexpr float kGainTime = 0.002f;
// Keeps the transient measure finite out of silence.
constexpr float kSlowFloor = 0.000001f;
// 15 x ln 10 / 20: an exponent of +-1 is +-15 dB.
constexpr float kFifteenDb = 1.7269387f;

// Step of a one-pole with time constant `seconds`: 1 - exp(-1 / (sampleRate x seconds)).
float stepForTime(float seconds, float sampleRate) { return 1.0f - expf(-1.0f / (sampleRate * seconds)); }
} // namespace

Shaper::Shaper() {
  addInput(mIn);
  addOutput(mOut);
  addInput(mAttack);
  addInput(mSustain);
  const float sampleRate = (float)this->sampleRate();
  mFastRiseStep = stepForTime(kFastRise, sampleRate);
  mFastFallStep = stepForTime(kFastFall, sampleRate);
  mSlowRiseStep = stepForTime(kSlowRise, sampleRate);
  mSlowFallStep = stepForTime(kSlowFall, sampleRate);
  mGainStep = stepForTime(kGainTime, sampleRate);
}

Shaper::~Shaper() = default;

void Shaper::process() {
  const int n = dsp::usableFrameLength();
  if (n == 0) return;
  const float *in = mIn.buffer();
  const float *attack = mAttack.buffer();
  const float *sustain = mSustain.buffer();
  float *out = mOut.buffer();
  float fast = mFast;
  float slow = mSlow;
  float gain = mGain;

  for (int i = 0; i < n; i++) {
    const float x = in[i];
    const float a = fabsf(x);
    fast = dsp::followStep(fast, a, mFastRiseStep, mFastFallStep);
    slow = dsp::followStep(slow, a, mSlowRiseStep, mSlowFallStep);
    const float t = dsp::clampNanLow((fast - slow) / (slow + kSlowFloor), -1.0f, 1.0f);
    const float attackAmount = dsp::clampNanLow(2.0f * (attack[i] - 0.5f), -1.0f, 1.0f);
    const float sustainAmount = dsp::clampNanLow(2.0f * (sustain[i] - 0.5f), -1.0f, 1.0f);
    // t is a number here, so its rise and fall parts are plain comparisons (fmaxf is a
    // library call); the sign of a zero exponent does not reach expf's value of 1.
    const float rise = t > 0.0f ? t : 0.0f;
    const float fall = -t > 0.0f ? -t : 0.0f;
    const float exponent = rise * attackAmount + fall * sustainAmount;
    gain = dsp::onePoleStep(gain, expf(kFifteenDb * exponent), mGainStep);
    out[i] = gain * x;
  }
  mFast = fast;
  mSlow = slow;
  mGain = gain;
}
