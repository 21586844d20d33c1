#include "Pluck.h"

#include <od/FloatBlock.h>

#include <dsp/Clamp.h>
#include <dsp/DelayLine.h>
#include <dsp/Frame.h>
#include <dsp/Lagrange.h>
#include <dsp/OnePole.h>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {
// Shortest loop time a request is taken for, in seconds.
constexpr float kMinRequest = 0.005f;
constexpr float kPi = 3.14159274f;
using dsp::kTwoPi;
// Pole of the DC blocker.
constexpr float kDcPole = 0.9995f;
// Damping corner limits: 20 Hz and 0.45 of the sample rate.
constexpr float kMinDamp = 20.0f;
constexpr float kMaxDampFraction = 0.45f;
// "Decay" is the amplitude kept per 0.0763 s.
constexpr float kMinDecay = 0.000001f;
constexpr float kMaxDecay = 0.999995f;
constexpr float kDecaySeconds = 0.0763f;
// Shortest loop, and the samples kept free at the end of the line for the read.
constexpr float kMinLoop = 4.0f;
constexpr int kLineReserve = 8;
constexpr float kMaxLoopGain = 4.0f;
// A voice follows "f0" for 5 ms after its trigger.
constexpr float kRetuneSeconds = 0.005f;
constexpr float kTriggerThreshold = 0.5f;
// The loop value is held in [-2, 2]; not a number gives -2.
constexpr float kLoopLimit = 2.0f;
} // namespace

Pluck::Pluck(float longestLoopSeconds) {
  addInput(mIn);
  addInput(mTrigger);
  addInput(mF0);
  addInput(mDamp);
  addInput(mDecay);
  addOutput(mOut);
  allocateTimeUpTo(longestLoopSeconds);
}

Pluck::~Pluck() { deallocate(); }

void Pluck::deallocate() {
  od::RenderGate::Change change(mMemoryGate);
  releaseMemory();
}

void Pluck::releaseMemory() {
  mMemory.release();
  for (int k = 0; k < kVoices; k++) {
    mLine[k] = nullptr;
    mLowpass[k] = mDcIn[k] = mDcOut[k] = 0.0f;
  }
  mLineLength = 0;
  mWriteIndex = 0;
  mRetuneCountdown = 0;
  mPreviousTrigger = 0.0f;
}

void Pluck::zero() {
  od::RenderGate::Change change(mMemoryGate);
  mMemory.zero();
  for (int k = 0; k < kVoices; k++) mLowpass[k] = mDcIn[k] = mDcOut[k] = 0.0f;
}

float Pluck::allocateTimeUpTo(float seconds) {
  const int frameLength = dsp::usableFrameLength();
  if (frameLength == 0) { // frames below 4 samples process nothing
    deallocate();
    return 0.0f;
  }
  if (!(seconds >= kMinRequest)) seconds = kMinRequest;
  const long long requested = dsp::truncToInt(seconds * (float)sampleRate());
  // The smallest whole number of frames above the loop time, but never more than the
  // four lines' byte count can express as an int.
  const long long mostFrames = INT_MAX / ((long long)frameLength * kVoices * (long long)sizeof(float));
  int frames = (int)std::min(requested / frameLength + 1, mostFrames);

  od::RenderGate::Change change(mMemoryGate);
  if (mLineLength == frames * frameLength) return (float)mLineLength * samplePeriod();
  releaseMemory();
  if (frames <= 1) return 0.0f;

  while (true) {
    const int length = frames * frameLength;
    mMemory = od::FloatBlock(length * kVoices);
    frames >>= 1;
    if (mMemory) {
      mLineLength = length;
      mWriteIndex = 0;
      for (int k = 0; k < kVoices; k++) mLine[k] = mMemory.data() + k * length;
      return (float)mLineLength * samplePeriod();
    }
    if (frames <= 1) return 0.0f;
  }
}

Pluck::Loop Pluck::loopFor(float frequency, float c, float kappa, int lineLength, float sampleRate) {
  const float omega = kTwoPi * frequency / sampleRate;
  const float period = sampleRate / frequency;
  const float sinOmega = sinf(omega);
  const float cosOmega = cosf(omega);

  const float lpIm = c * sinOmega;
  const float lpRe = 1.0f - c * cosOmega;
  const float lpPhase = atan2f(lpIm, lpRe);
  const float lpMagnitude = (1.0f - c) / sqrtf(lpIm * lpIm + lpRe * lpRe);

  const float dcIm = kDcPole * sinOmega;
  const float dcRe = 1.0f - kDcPole * cosOmega;
  const float dcPhase = atan2f(dcIm, dcRe);
  const float dcMagnitude = 2.0f * sinf(omega / 2.0f) / sqrtf(dcIm * dcIm + dcRe * dcRe);

  float delay = period - lpPhase / omega + ((kPi - omega) / 2.0f - dcPhase) / omega;
  const float longest = std::max((float)(lineLength - kLineReserve), kMinLoop);
  delay = std::min(std::max(delay, kMinLoop), longest);
  const float gain = std::min(expf(period * kappa) / (dcMagnitude * lpMagnitude), kMaxLoopGain);
  return {delay, gain};
}

void Pluck::process() {
  const int n = dsp::usableFrameLength();
  if (n == 0) return;
  float *out = mOut.buffer();
  od::RenderGate::Frame frame(mMemoryGate);
  if (!frame.open() || mLineLength == 0 || !mMemory) {
    for (int i = 0; i < n; i++) out[i] = 0.0f;
    return;
  }

  const float *in = mIn.buffer();
  const float *trigger = mTrigger.buffer();
  const float *f0 = mF0.buffer();
  const float sr = (float)sampleRate();
  const int len = mLineLength;

  const float dampFrequency = dsp::clampNanHigh(mDamp.buffer()[0], kMinDamp, kMaxDampFraction * sr);
  const float c = expf(-kTwoPi * dampFrequency / sr);
  const float decay = dsp::clampNanHigh(mDecay.buffer()[0], kMinDecay, kMaxDecay);
  const float kappa = logf(decay) / (kDecaySeconds * sr);
  // A line too short for the shortest loop keeps the lowest frequency finite.
  const float lowest = sr / (float)std::max(len - kLineReserve, (int)kMinLoop);
  const float highest = sr / kMinLoop;
  const int retuneTime = dsp::truncToInt(kRetuneSeconds * sr);

  Loop loop[kVoices];
  for (int k = 0; k < kVoices; k++) loop[k] = loopFor(mFrequency[k], c, kappa, len, sr);

  for (int i = 0; i < n; i++) {
    if (trigger[i] > kTriggerThreshold && mPreviousTrigger <= kTriggerThreshold) {
      mCurrentVoice = (mCurrentVoice + 1) % kVoices;
      mRetuneCountdown = retuneTime;
    }
    if (mRetuneCountdown > 0) {
      float f = f0[i];
      if (f < lowest) f = lowest;
      else if (!(f <= highest)) f = highest;
      mFrequency[mCurrentVoice] = f;
      mRetuneCountdown--;
      loop[mCurrentVoice] = loopFor(f, c, kappa, len, sr);
    }

    const int w = mWriteIndex;
    float sum = 0.0f;
    for (int k = 0; k < kVoices; k++) {
      const float *line = mLine[k];
      const int whole = (int)loop[k].delay;
      const float x = loop[k].delay - (float)whole + 1.0f;
      const float u = dsp::lagrange3(x, line[dsp::wrapIndex(w - (whole - 1), len)], line[dsp::wrapIndex(w - whole, len)],
                                     line[dsp::wrapIndex(w - whole - 1, len)], line[dsp::wrapIndex(w - whole - 2, len)]);
      const float lowpassed = c * mLowpass[k] + (1.0f - c) * u;
      const float e = lowpassed - mDcIn[k] + kDcPole * mDcOut[k];
      mLowpass[k] = lowpassed;
      mDcIn[k] = lowpassed;
      mDcOut[k] = e;
      float v = e * loop[k].gain;
      if (k == mCurrentVoice) v += in[i];
      v = dsp::clampNanLow(v, -kLoopLimit, kLoopLimit);
      mLine[k][w] = v;
      sum += v;
    }
    mWriteIndex = dsp::nextIndex(mWriteIndex, len);
    out[i] = sum;
    mPreviousTrigger = trigger[i];
  }
}
