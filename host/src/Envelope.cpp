#include "Controls.h"

#include <od/Envelope.h>

#include <cmath>

namespace od {

namespace {
constexpr float kDefaultAttack = 0.005f;  // seconds
constexpr float kDefaultDecay = 0.2f;     // seconds
constexpr float kDefaultSustain = 0.7f;
constexpr float kDefaultRelease = 0.3f;   // seconds
// A segment aims this share of its span past its target, so it arrives in finite time.
constexpr double kOvershoot = 0.001;
// The share of its span a segment has left after its time.
constexpr double kWithin = 0.01;
// Aimed kOvershoot past the target, the distance left is (1 + o) e^(-t / tau) - o of the
// span, which is kWithin at t = T when tau = T / ln((1 + o) / (kWithin + o)).
const double kTimeConstantPerSecond = 1.0 / std::log((1.0 + kOvershoot) / (kWithin + kOvershoot));

float segmentTime(float seconds) { return dsp::clampNanLow(seconds, Envelope::kShortest, Envelope::kLongest); }
} // namespace

Envelope::Envelope() {
  addInput(mGate);
  addInput(mAttack);
  addInput(mDecay);
  addInput(mSustain);
  addInput(mRelease);
  addOutput(mOut);
  mAttack.setConstant(kDefaultAttack);
  mDecay.setConstant(kDefaultDecay);
  mSustain.setConstant(kDefaultSustain);
  mRelease.setConstant(kDefaultRelease);
}

Envelope::~Envelope() = default;

void Envelope::process() {
  const int n = globalConfig.frameLength;
  const float *gate = mGate.buffer();
  const float *attack = mAttack.buffer();
  const float *decay = mDecay.buffer();
  const float *sustain = mSustain.buffer();
  const float *release = mRelease.buffer();
  float *out = mOut.buffer();
  const double rate = sampleRate();
  const float overshoot = (float)kOvershoot;

  for (int i = 0; i < n; i++) {
    const bool high = gate[i] > 0.5f;
    if (high && !mGateHigh) {
      mStage = Stage::Attack;
      mStart = mLevel;
    } else if (!high && mGateHigh) {
      mStage = Stage::Release;
      mStart = mLevel;
    }
    mGateHigh = high;
    const float level = dsp::clampNanLow(sustain[i], 0.0f, 1.0f);

    switch (mStage) {
    case Stage::Attack: {
      const float aim = 1.0f + overshoot * (1.0f - mStart);
      mLevel += (aim - mLevel) * mAttackRate.of(segmentTime(attack[i]), kTimeConstantPerSecond, rate);
      if (mLevel >= 1.0f) {
        mLevel = 1.0f;
        mStage = Stage::Decay;
      }
      break;
    }
    case Stage::Decay: {
      const float aim = level - overshoot * (1.0f - level);
      mLevel += (aim - mLevel) * mDecayRate.of(segmentTime(decay[i]), kTimeConstantPerSecond, rate);
      if (mLevel <= level) {
        mLevel = level;
        mStage = Stage::Sustain;
      }
      break;
    }
    case Stage::Sustain: mLevel += (level - mLevel) * mDecayRate.of(segmentTime(decay[i]), kTimeConstantPerSecond, rate); break;
    case Stage::Release: {
      const float aim = -overshoot * mStart;
      mLevel += (aim - mLevel) * mReleaseRate.of(segmentTime(release[i]), kTimeConstantPerSecond, rate);
      if (mLevel <= 0.0f) {
        mLevel = 0.0f;
        mStage = Stage::Idle;
      }
      break;
    }
    case Stage::Idle: break;
    }
    out[i] = mLevel;
  }
}

} // namespace od
