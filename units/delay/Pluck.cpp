#include "Pluck.h"

#include <od/FloatBlock.h>

#include <dsp/Clamp.h>
#include <dsp/DelayLine.h>
#include <dsp/Frame.h>
#include <dsp/Lagrange.h>
#include <dsp/LaneSums.h>
#include <dsp/Vector.h>
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

// Each voice's lane of the loop read: the whole samples of its delay, its Lagrange weights
// at the fraction (read between taps 1 and 2), and its loop gain.
struct VoiceReads {
  int whole[Pluck::kVoices];
  float4 h0, h1, h2, h3, gain;

  void tune(int voice, Pluck::Loop loop) {
    whole[voice] = (int)loop.delay;
    const dsp::Lagrange3Weights h = dsp::lagrange3Weights(loop.delay - (float)whole[voice] + 1.0f);
    h0[voice] = h.h0;
    h1[voice] = h.h1;
    h2[voice] = h.h2;
    h3[voice] = h.h3;
    gain[voice] = loop.gain;
  }
};
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

  // The four voices run as the four lanes of vectors, each lane with one voice's arithmetic.
  // A voice's read taps and interpolation weights change only when its loop is retuned.
  VoiceReads reads;
  for (int k = 0; k < kVoices; k++) reads.tune(k, loopFor(mFrequency[k], c, kappa, len, sr));
  float4 lowpass = simd_load(mLowpass);
  float4 dcIn = simd_load(mDcIn);
  float4 dcOut = simd_load(mDcOut);
  const dsp::int4 voiceNumber = {0, 1, 2, 3};

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
      reads.tune(mCurrentVoice, loopFor(f, c, kappa, len, sr));
    }

    const int w = mWriteIndex;
    float4 y[4];
    for (int k = 0; k < kVoices; k++) {
      const float *line = mLine[k];
      const int whole = reads.whole[k];
      y[0][k] = line[dsp::wrapIndex(w - (whole - 1), len)];
      y[1][k] = line[dsp::wrapIndex(w - whole, len)];
      y[2][k] = line[dsp::wrapIndex(w - whole - 1, len)];
      y[3][k] = line[dsp::wrapIndex(w - whole - 2, len)];
    }
    const float4 u = dsp::lagrange3(reads.h0, reads.h1, reads.h2, reads.h3, y[0], y[1], y[2], y[3]);
    const float4 lowpassed = c * lowpass + (1.0f - c) * u;
    const float4 e = lowpassed - dcIn + kDcPole * dcOut;
    lowpass = lowpassed;
    dcIn = lowpassed;
    dcOut = e;
    float4 v = e * reads.gain;
    v = voiceNumber == mCurrentVoice ? v + in[i] : v; // the input excites the current voice
    v = dsp::clampNanLow(v, -kLoopLimit, kLoopLimit);
    for (int k = 0; k < kVoices; k++) mLine[k][w] = v[k];
    out[i] = dsp::addLanesInOrder(0.0f, v); // the voices summed in order
    mWriteIndex = dsp::nextIndex(mWriteIndex, len);
    mPreviousTrigger = trigger[i];
  }
  simd_store(mLowpass, lowpass);
  simd_store(mDcIn, dcIn);
  simd_store(mDcOut, dcOut);
}
