#include "Flanger.h"

#include <dsp/Clamp.h>
#include <dsp/DelayLine.h>
#include <dsp/OnePole.h>
#include <dsp/SineWindow.h>
#include <od/BigHeap.h>

namespace {
// Each line holds 10 ms plus 4 samples.
constexpr float kLineSeconds = 0.01f;
constexpr int kLineMargin = 4;
// The delay starts at 2 ms and never goes below 0.5 ms.
constexpr float kStartSeconds = 0.002f;
constexpr float kMinimumSeconds = 0.0005f;
// Half the sweep at full depth: 3.75 ms (the delay swings by twice this).
constexpr float kDepthSeconds = 0.00375f;
// Delay smoothing: time constant 2 ms.
constexpr float kDelayRate = 499.999969f;
// LFO rate limits in Hz.
constexpr float kMinimumRate = 0.01f;
constexpr float kMaximumRate = 10.0f;
constexpr float kFeedbackLimit = 0.95f;
// Gain of the dry plus delayed sum, about -3 dB.
constexpr float kSumGain = 0.7071f;
} // namespace

Flanger::Flanger() {
  addInput(mIn);
  addInput(mInR);
  addOutput(mOut);
  addOutput(mOutR);
  addInput(mRate);
  addInput(mDepth);
  addInput(mFeedback);
  addInput(mBlend);

  const float sr = (float)sampleRate();
  mLineLength = (int)(kLineSeconds * sr) + kLineMargin;
  mDelay = kStartSeconds * sr;
  mDelaySmoothing = dsp::onePoleCoefficient(kDelayRate, sr);
  mLeft = (float *)od::BigHeap::allocateZeroed(mLineLength * 2 * (int)sizeof(float));
  if (mLeft != nullptr) mRight = mLeft + mLineLength;
}

Flanger::~Flanger() {
  od::BigHeap::free((char *)mLeft);
  mLeft = nullptr;
  mRight = nullptr;
}

void Flanger::process() {
  const int n = globalConfig.frameLength & ~3;
  if (n < 4) return;
  const float *inL = mIn.buffer();
  const float *inR = mInR.buffer();
  const float *rate = mRate.buffer();
  const float *depth = mDepth.buffer();
  const float *feedback = mFeedback.buffer();
  const float *blend = mBlend.buffer();
  float *outL = mOut.buffer();
  float *outR = mOutR.buffer();

  if (mLeft == nullptr) {
    for (int i = 0; i < n; i++) {
      outL[i] = inL[i];
      outR[i] = inR[i];
    }
    return;
  }

  const float sr = (float)sampleRate();
  const float minimumDelay = kMinimumSeconds * sr;
  const int len = mLineLength;

  for (int i = 0; i < n; i++) {
    mPhase += dsp::clampNanHigh(rate[i], kMinimumRate, kMaximumRate) / sr;
    if (mPhase >= 1.0f) mPhase -= 1.0f;
    const float lfo = dsp::sineTurns(mPhase);

    const float sweep = dsp::clampNanHigh(depth[i], 0.0f, 1.0f) * kDepthSeconds * sr;
    mDelay = dsp::onePoleStep(mDelay, minimumDelay + sweep * (1.0f + lfo), mDelaySmoothing);

    const float position = dsp::wrapReadPosition((float)mWriteIndex - mDelay, len);
    const float yL = dsp::readLinear(mLeft, len, position);
    const float yR = dsp::readLinear(mRight, len, position);

    const float f = dsp::clampNanHigh(feedback[i], -kFeedbackLimit, kFeedbackLimit);
    const float xL = inL[i];
    const float xR = inR[i];
    mLeft[mWriteIndex] = dsp::finiteOrZero(xL + yL * f);
    mRight[mWriteIndex] = dsp::finiteOrZero(xR + yR * f);

    const float b = dsp::clampNanHigh(blend[i], 0.0f, 1.0f);
    outL[i] = xL + ((xL + yL) * kSumGain - xL) * b;
    outR[i] = xR + ((xR + yR) * kSumGain - xR) * b;
    mWriteIndex = dsp::nextIndex(mWriteIndex, len);
  }
}
