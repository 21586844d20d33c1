#include "Cymbal.h"

#include <dsp/Clamp.h>
#include <dsp/Frame.h>
#include <dsp/OnePole.h>
#include <dsp/SquareCluster.h>

#include <algorithm>
#include <cmath>

namespace {
// Partials of a 373 Hz cymbal at 373, 571, 613, 691, 829 and 1187 Hz, relative to the first.
constexpr float kRatios[Cymbal::kOscillators] = {1.0f, 1.5308311f, 1.6434317f, 1.8525469f, 2.2225201f, 3.1823056f};
constexpr float kShortTime = 0.08f; // brightness of the square cluster, s
constexpr float kMinRate = 8000.0f; // working rate range, Hz
constexpr float kMaxRate = 384000.0f;
constexpr float kMinDecay = 0.2f; // long envelope range, s
constexpr float kMaxDecay = 5.0f;
constexpr float kCorner = 6500.0f; // both high-passes, Hz
constexpr float kMinTone = 1500.0f; // resonator range, Hz
constexpr float kMaxTone = 8000.0f;
using dsp::kTwoPi;
constexpr float kPoleTwice = 1.98f;          // twice the pole radius 0.99
constexpr float kPoleSquared = 0.98010004f;  // 0.99^2
constexpr float kResonatorShare = 0.017999984f;
constexpr float kSizzleGain = 0.4f;
constexpr float kSquareLevel = 0.058345f;
constexpr float kRingLevel = 0.21664499f;
constexpr float kClusterLevel = 1.1f;
constexpr float kNoiseScale = 4.65661287e-10f; // 1 / 2^31
constexpr float kMemoryLimit = 20.0f;          // filter memories at or beyond +-20 (or NaN) are cleared
constexpr float kMaxFrequencyShare = 0.45f;    // of the working rate

float clearedUnlessBounded(float memory) { return memory > -kMemoryLimit && memory < kMemoryLimit ? memory : 0.0f; }
} // namespace

Cymbal::Cymbal() {
  addInput(mTrigger);
  addOutput(mOut);
  addInput(mTune);
  addInput(mDecay);
  addInput(mTone);
  addInput(mSizzle);
  mShortDecay = dsp::decayFactor(kShortTime, (float)sampleRate());
}

Cymbal::~Cymbal() = default;

void Cymbal::process() {
  const float sampleRate = (float)this->sampleRate();
  const float rate = dsp::clampNanLow(sampleRate, kMinRate, kMaxRate);
  const float maxFrequency = kMaxFrequencyShare * rate;
  const float decay = dsp::clampNanLow(mDecay.buffer()[0], kMinDecay, kMaxDecay);
  const float longDecay = dsp::clampNanLow(dsp::decayFactor(decay, sampleRate), 0.0f, 1.0f);
  const float corner = std::min(maxFrequency, kCorner);
  const float highPassStep = dsp::clampNanLow(dsp::onePoleCoefficient(kTwoPi * corner, rate), 0.0f, 1.0f);
  const float tone = std::min(dsp::clampNanLow(mTone.buffer()[0], kMinTone, kMaxTone), maxFrequency);
  const float b = dsp::clampNanLow(kPoleTwice * cosf(kTwoPi * tone / rate), -kPoleTwice, kPoleTwice);
  const float noiseGain = kSizzleGain * dsp::clampNanLow(mSizzle.buffer()[0], 0.0f, 1.0f);

  // Guard the stored state against runaway values, even on a frame too short to play.
  mShort.level = dsp::clampNanLow(mShort.level, 0.0f, 1.0f);
  mLong.level = dsp::clampNanLow(mLong.level, 0.0f, 1.0f);
  mShortDecay = dsp::clampNanLow(mShortDecay, 0.0f, 1.0f);
  mHighPass.memory1 = clearedUnlessBounded(mHighPass.memory1);
  mHighPass.memory2 = clearedUnlessBounded(mHighPass.memory2);
  mResonator1 = clearedUnlessBounded(mResonator1);
  mResonator2 = clearedUnlessBounded(mResonator2);
  mNoiseHighPass = clearedUnlessBounded(mNoiseHighPass);

  const int n = dsp::usableFrameLength();
  if (n == 0) return;
  const float *trigger = mTrigger.buffer();
  const float *tune = mTune.buffer();
  float *out = mOut.buffer();

  dsp::SquareCluster squares(mPhases, kRatios);
  for (int i = 0; i < n; i++) {
    if (mGate.strikes(trigger[i])) { // the oscillators run on freely
      mShort.strike();
      mLong.strike();
    }
    const float shortLevel = mShort.step(mShortDecay);
    const float longLevel = mLong.step(longDecay);

    squares.advanceTuned(tune[i], maxFrequency, rate);
    float q[kOscillators];
    squares.squares(q);
    const float metal = kSquareLevel * (q[0] + q[1] + q[2] + q[3] + q[4] + q[5]) +
                        kRingLevel * (q[0] * q[3] + q[1] * q[4] + q[2] * q[5]);

    const float h2 = mHighPass.step(metal, highPassStep);

    // Two-pole resonator with pole radius 0.99; an output at or beyond +-20 restarts it from 0.
    const float y = clearedUnlessBounded(metal + b * mResonator1 - kPoleSquared * mResonator2);
    mResonator2 = mResonator1;
    mResonator1 = y;
    const float ring = kResonatorShare * y;

    const float noise = mNoise.next(kNoiseScale);
    mNoiseHighPass = dsp::onePoleStep(mNoiseHighPass, noise, highPassStep);
    const float sizzle = noise - mNoiseHighPass;

    out[i] = dsp::drumSaturate(kClusterLevel * shortLevel * h2 + longLevel * (ring + noiseGain * sizzle));
  }
  squares.store(mPhases);
}
