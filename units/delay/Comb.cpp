#include "Comb.h"

#include <od/BigHeap.h>

#include <dsp/Clamp.h>
#include <dsp/DelayLine.h>

namespace {
// Longest period: 50 ms, plus 4 samples of line.
constexpr float kLineSeconds = 0.05f;
constexpr int kLineMargin = 4;
// The longest delay leaves 3 samples of the line free; the shortest is 2 samples.
constexpr int kReadReserve = 3;
constexpr float kMinDelay = 2.0f;
constexpr float kMaxFrequencyFraction = 0.45f;
constexpr float kMaxFeedback = 0.98f;
// The output (and what the line stores) is held in [-4, 4].
constexpr float kOutputLimit = 4.0f;
} // namespace

Comb::Comb() {
  addInput(mIn);
  addInput(mInR);
  addOutput(mOut);
  addOutput(mOutR);
  addInput(mF0);
  addInput(mQ);
  addOption(mType);

  const float sr = (float)sampleRate();
  mLineLength = dsp::truncToInt(kLineSeconds * sr) + kLineMargin;
  mLeftLine = (float *)od::BigHeap::allocateZeroed(mLineLength * 2 * (int)sizeof(float));
  if (mLeftLine) mRightLine = mLeftLine + mLineLength;
  mLowestFrequency = sr / (float)(mLineLength - kReadReserve);
}

Comb::~Comb() {
  od::BigHeap::free((char *)mLeftLine);
  mLeftLine = mRightLine = nullptr;
}

void Comb::process() {
  const int n = globalConfig.frameLength & ~3;
  const float *inL = mIn.buffer();
  const float *inR = mInR.buffer();
  float *outL = mOut.buffer();
  float *outR = mOutR.buffer();
  if (!mLeftLine) {
    for (int i = 0; i < n; i++) {
      outL[i] = inL[i];
      outR[i] = inR[i];
    }
    return;
  }

  const float *f0 = mF0.buffer();
  const float *q = mQ.buffer();
  const float sr = (float)sampleRate();
  const int len = mLineLength;
  const float sign = mType.value() == kNegative ? -1.0f : 1.0f;
  const float highest = kMaxFrequencyFraction * sr;
  const float longest = (float)(len - kReadReserve);

  for (int i = 0; i < n; i++) {
    float f = f0[i];
    if (f > highest) f = highest;
    else if (!(f >= mLowestFrequency)) f = mLowestFrequency;
    const float period = dsp::clampNanLow(sr / f, kMinDelay, longest);
    const float position = (float)mWriteIndex - period;
    const float delayedL = dsp::readLinearWrapped(mLeftLine, len, position);
    const float delayedR = dsp::readLinearWrapped(mRightLine, len, position);
    const float g = dsp::clampNanHigh(q[i], 0.0f, kMaxFeedback) * sign;
    const float yL = dsp::clampNanHigh(inL[i] + delayedL * g, -kOutputLimit, kOutputLimit);
    const float yR = dsp::clampNanHigh(inR[i] + delayedR * g, -kOutputLimit, kOutputLimit);
    mLeftLine[mWriteIndex] = yL;
    mRightLine[mWriteIndex] = yR;
    outL[i] = yL;
    outR[i] = yR;
    mWriteIndex = dsp::nextIndex(mWriteIndex, len);
  }
}
