#include <od/Follower.h>

#include <dsp/Clamp.h>
#include <dsp/OnePole.h>

#include <cmath>

namespace od {

namespace {
constexpr float kDefaultAttack = 0.001f; // seconds
constexpr float kDefaultRelease = 0.1f;  // seconds

float followerTime(float seconds) { return dsp::clampNanLow(seconds, 0.0f, Follower::kLongest); }
} // namespace

Follower::Follower() {
  addInput(mIn);
  addInput(mAttack);
  addInput(mRelease);
  addOutput(mOut);
  mAttack.setConstant(kDefaultAttack);
  mRelease.setConstant(kDefaultRelease);
}

Follower::~Follower() = default;

void Follower::process() {
  const int n = globalConfig.frameLength;
  const float *in = mIn.buffer();
  const float *attack = mAttack.buffer();
  const float *release = mRelease.buffer();
  float *out = mOut.buffer();
  const double rate = sampleRate();

  for (int i = 0; i < n; i++) {
    const float rise = mRise.of(followerTime(attack[i]), 1.0, rate);
    const float fall = mFall.of(followerTime(release[i]), 1.0, rate);
    // A sample that is not finite leaves no trace in the envelope.
    mEnvelope = dsp::finiteAudibleOrZero(dsp::followStep(mEnvelope, std::fabs(in[i]), rise, fall));
    out[i] = mEnvelope;
  }
}

} // namespace od
