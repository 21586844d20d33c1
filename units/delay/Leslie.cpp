#include "Leslie.h"

#include <dsp/Clamp.h>
#include <dsp/DelayLine.h>
#include <dsp/Frame.h>
#include <dsp/OnePole.h>
#include <dsp/Saturator.h>
#include <dsp/SineWindow.h>
#include <od/FloatBlock.h>

#include <cmath>

namespace {
// Each line holds 4 ms plus 4 samples.
constexpr float kLineSeconds = 0.004f;
constexpr int kLineMargin = 4;
// Crossover lowpass at 800 Hz: 2 pi x 800.
constexpr float kCrossoverRate = dsp::kTwoPi * 800.0f;
// Rotor speeds in Hz.
constexpr float kHornSlow = 0.8f;
constexpr float kHornFast = 6.8f;
constexpr float kDrumSlow = 0.66f;
constexpr float kDrumFast = 5.9f;
// Rotor inertia: time constants in seconds to speed up and to slow down.
constexpr float kHornSpeedUpSeconds = 0.8f;
constexpr float kHornSlowDownSeconds = 1.1f;
constexpr float kDrumSpeedUpSeconds = 4.0f;
constexpr float kDrumSlowDownSeconds = 5.0f;
// Both bands sit 1.2 ms back; the horn swings +-0.85 ms, the drum +-0.35 ms.
constexpr float kCentreSeconds = 0.0012f;
constexpr float kHornSwingSeconds = 0.00085f;
constexpr float kDrumSwingSeconds = 0.00035f;
// Amplitude modulation and pan depth of each rotor.
constexpr float kHornTremolo = 0.225f;
constexpr float kDrumTremolo = 0.125f;
constexpr float kHornPan = 0.4f;
constexpr float kDrumPan = 0.25f;
// Drive: input gain 1 + 3 drive, output divided by 1 + 0.7 drive.
constexpr float kDriveGain = 3.0f;
constexpr float kDriveMakeup = 0.7f;

// 1 - exp(-1 / (seconds x sr)): a one-pole coefficient from a time constant.
float inertia(float seconds, float sr) { return 1.0f - expf(-1.0f / (seconds * sr)); }

// Moves a rotor speed toward its target, faster or slower depending on the direction.
float glide(float speed, float target, float speedUp, float slowDown) {
  return dsp::onePoleStep(speed, target, target > speed ? speedUp : slowDown);
}

float advanceTurns(float phase, float step) {
  phase += step;
  return phase >= 1.0f ? phase - 1.0f : phase;
}
} // namespace

Leslie::Leslie() {
  addInput(mIn);
  addOutput(mOutL);
  addOutput(mOutR);
  addInput(mFast);
  addInput(mDepth);
  addInput(mDrive);
  addInput(mBlend);

  const float sr = (float)sampleRate();
  mLineLength = (int)(kLineSeconds * sr) + kLineMargin;
  mCrossover = dsp::onePoleCoefficient(kCrossoverRate, sr);
  mHornSpeedUp = inertia(kHornSpeedUpSeconds, sr);
  mHornSlowDown = inertia(kHornSlowDownSeconds, sr);
  mDrumSpeedUp = inertia(kDrumSpeedUpSeconds, sr);
  mDrumSlowDown = inertia(kDrumSlowDownSeconds, sr);
  mMemory = od::FloatBlock(mLineLength * 2);
  mHornLine = mMemory.data();
  if (mMemory) mDrumLine = mHornLine + mLineLength;
}

Leslie::~Leslie() = default;

void Leslie::process() {
  const int n = dsp::usableFrameLength();
  if (n == 0) return;
  const float *in = mIn.buffer();
  const float *fast = mFast.buffer();
  const float *depth = mDepth.buffer();
  const float *drive = mDrive.buffer();
  const float *blend = mBlend.buffer();
  float *outL = mOutL.buffer();
  float *outR = mOutR.buffer();

  if (!mMemory) {
    for (int i = 0; i < n; i++) {
      outL[i] = in[i];
      outR[i] = in[i];
    }
    return;
  }

  const float sr = (float)sampleRate();
  const float centre = kCentreSeconds * sr;
  const float hornSwing = kHornSwingSeconds * sr;
  const float drumSwing = kDrumSwingSeconds * sr;
  const int len = mLineLength;

  for (int i = 0; i < n; i++) {
    const float x = in[i];
    const float delta = dsp::clampNanHigh(drive[i], 0.0f, 1.0f);
    // Only a finite value goes on into the crossover memory and the lines.
    const float v = dsp::finiteOrZero(dsp::saturate((1.0f + kDriveGain * delta) * x) / (1.0f + kDriveMakeup * delta));

    mLow = dsp::onePoleStep(mLow, v, mCrossover);
    mHornLine[mWriteIndex] = v - mLow;
    mDrumLine[mWriteIndex] = mLow;

    const bool isFast = fast[i] > 0.5f;
    mHornSpeed = glide(mHornSpeed, isFast ? kHornFast : kHornSlow, mHornSpeedUp, mHornSlowDown);
    mDrumSpeed = glide(mDrumSpeed, isFast ? kDrumFast : kDrumSlow, mDrumSpeedUp, mDrumSlowDown);
    mHornPhase = advanceTurns(mHornPhase, mHornSpeed / sr);
    mDrumPhase = advanceTurns(mDrumPhase, mDrumSpeed / sr);
    // Sine and cosine of both rotors as the four lanes of one vector.
    const float4 turns = {mHornPhase, dsp::quarterTurnAhead(mHornPhase), mDrumPhase, dsp::quarterTurnAhead(mDrumPhase)};
    const float4 sines = dsp::sineTurns(turns);
    const float sh = sines[0];
    const float ch = sines[1];
    const float sd = sines[2];
    const float cd = sines[3];

    const float d = dsp::clampNanHigh(depth[i], 0.0f, 1.0f);
    const float w = (float)mWriteIndex;
    const float h = dsp::readLinearWrapped(mHornLine, len, w - centre - hornSwing * d * sh);
    const float hornLevel = h * (1.0f - kHornTremolo * d * (1.0f + sh));
    const float hornLeft = (0.5f + kHornPan * d * ch) * hornLevel;
    const float hornRight = (0.5f - kHornPan * d * ch) * hornLevel;
    const float b = dsp::readLinearWrapped(mDrumLine, len, w - centre - drumSwing * d * sd);
    const float drumLevel = b * (1.0f - kDrumTremolo * d * (1.0f + sd));
    const float drumLeft = (0.5f + kDrumPan * d * cd) * drumLevel;
    const float drumRight = (0.5f - kDrumPan * d * cd) * drumLevel;

    const float beta = dsp::clampNanHigh(blend[i], 0.0f, 1.0f);
    outL[i] = x + (2.0f * (hornLeft + drumLeft) - x) * beta;
    outR[i] = x + (2.0f * (hornRight + drumRight) - x) * beta;
    mWriteIndex = dsp::nextIndex(mWriteIndex, len);
  }
}
