#include "Freeze.h"

#include <dsp/Clamp.h>
#include <dsp/DelayLine.h>
#include <dsp/OnePole.h>
#include <dsp/TwoHeadReader.h>
#include <od/BigHeap.h>

namespace {
// Crossfade between dry and loop: time constant 8 ms.
constexpr float kGainRate = 124.999992f;
// The buffer holds one second plus this margin; loops run from 128 samples to one second.
constexpr int kBufferMargin = 8;
constexpr float kShortestLoop = 128.0f;
} // namespace

Freeze::Freeze() {
  addInput(mIn);
  addOutput(mOut);
  addInput(mFreeze);
  addInput(mSize);

  const float sr = (float)sampleRate();
  mGainSmoothing = dsp::onePoleCoefficient(kGainRate, sr);
  mBufferLength = sampleRate() + kBufferMargin;
  mBuffer = (float *)od::BigHeap::allocateZeroed(mBufferLength * (int)sizeof(float));
}

Freeze::~Freeze() {
  od::BigHeap::free((char *)mBuffer);
  mBuffer = nullptr;
}

void Freeze::process() {
  const int n = globalConfig.frameLength & ~3;
  if (n < 4) return;
  const float *in = mIn.buffer();
  const float *gate = mFreeze.buffer();
  const float *size = mSize.buffer();
  float *out = mOut.buffer();

  if (mBuffer == nullptr) {
    for (int i = 0; i < n; i++) out[i] = in[i];
    return;
  }

  const float sr = (float)sampleRate();
  const int len = mBufferLength;
  const float longestLoop = (float)(len - kBufferMargin);

  for (int i = 0; i < n; i++) {
    const float x = in[i];
    if (gate[i] > 0.5f) {
      if (!mFrozen) {
        mFrozen = true;
        mFreezePoint = mWriteIndex;
        mPhase = 0.0f;
      }
    } else {
      mFrozen = false;
      mBuffer[mWriteIndex] = x;
      mWriteIndex = dsp::nextIndex(mWriteIndex, len);
    }

    const float loop = dsp::clampNanLow(size[i] * sr, kShortestLoop, longestLoop);
    mPhase = dsp::advancePhase(mPhase, 1.0f / loop);
    const float y = dsp::twoHeadRead(mBuffer, len, (float)mFreezePoint - loop, loop, mPhase);

    mWetGain = dsp::onePoleStep(mWetGain, mFrozen ? 1.0f : 0.0f, mGainSmoothing);
    out[i] = x + mWetGain * (y - x);
  }
}
