#include "ReverseDelay.h"

#include <od/BigHeap.h>

#include <dsp/Clamp.h>
#include <dsp/DelayLine.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace {
// Shortest time a request is taken for, in seconds.
constexpr float kMinRequest = 0.001f;
// Fade at each end of a segment: 5 ms.
constexpr float kFadeSeconds = 0.005f;
constexpr float kMaxFeedback = 1.0f;
} // namespace

ReverseDelay::ReverseDelay(int channelCount) : mChannelCount(channelCount) {
  addInput(mLeftIn);
  addInput(mFeedback);
  addParameter(mDelay);
  mDelay.enableSerialization();
  addOutput(mLeftOut);
  if (isStereo()) {
    addInput(mRightIn);
    addOutput(mRightOut);
  }
}

ReverseDelay::~ReverseDelay() { deallocate(); }

void ReverseDelay::resetLine(Line &line) {
  line.writeIndex = 0;
  line.segmentStart = 0;
  line.position = 0;
  line.segmentLength = 0;
}

void ReverseDelay::freeBuffers() {
  od::BigHeap::free((char *)mLeft.buffer);
  od::BigHeap::free((char *)mRight.buffer);
  mLeft.buffer = nullptr;
  mRight.buffer = nullptr;
  mBufferLength = 0;
  mMaximumDelay = 0;
  resetLine(mLeft);
  resetLine(mRight);
}

void ReverseDelay::deallocate() {
  od::RenderGate::Change change(mMemoryGate);
  freeBuffers();
}

void ReverseDelay::zero() {
  od::RenderGate::Change change(mMemoryGate);
  const size_t bytes = (size_t)mBufferLength * sizeof(float);
  if (mLeft.buffer) memset(mLeft.buffer, 0, bytes);
  if (mRight.buffer) memset(mRight.buffer, 0, bytes);
  resetLine(mLeft);
  resetLine(mRight);
}

bool ReverseDelay::allocate(int samples) {
  freeBuffers();
  const int bytes = samples * (int)sizeof(float);
  mLeft.buffer = (float *)od::BigHeap::allocateZeroed(bytes);
  if (!mLeft.buffer) return false;
  if (!isStereo()) return true;
  mRight.buffer = (float *)od::BigHeap::allocateZeroed(bytes);
  if (mRight.buffer) return true;
  freeBuffers();
  return false;
}

float ReverseDelay::allocateTimeUpTo(float seconds) {
  const int frameLength = globalConfig.frameLength & ~3;
  if (frameLength == 0) return 0.0f; // frames below 4 samples process nothing
  if (!(seconds >= kMinRequest)) seconds = kMinRequest;
  const long long requested = dsp::truncToInt(seconds * (float)sampleRate());
  // The smallest whole number of frames above twice the delay, but never more than one
  // buffer's byte count can express as an int.
  const long long mostFrames = INT_MAX / ((long long)frameLength * (long long)sizeof(float));
  int frames = (int)std::min((2 * requested) / frameLength + 1, mostFrames);

  od::RenderGate::Change change(mMemoryGate);
  if (mBufferLength == frames * frameLength) return (float)mMaximumDelay * samplePeriod();
  if (frames <= 1) return 0.0f;

  while (true) {
    if (allocate(frames * frameLength)) {
      mBufferLength = frames * frameLength;
      mMaximumDelay = mBufferLength / 2;
      return (float)mMaximumDelay * samplePeriod();
    }
    frames >>= 1;
    if (frames <= 1) return 0.0f;
  }
}

float ReverseDelay::minimumDelayTime() { return (float)(globalConfig.frameLength & ~3) * samplePeriod(); }

float ReverseDelay::maximumDelayTime() { return (float)mMaximumDelay * samplePeriod(); }

void ReverseDelay::pushSamples(Line &line, const float *in, float *out, const float *feedback, int segmentLength,
                               int fadeLength) {
  const int n = globalConfig.frameLength & ~3;
  const int len = mBufferLength;
  float *s = line.buffer;
  for (int i = 0; i < n; i++) {
    float gain;
    if (line.position >= line.segmentLength) {
      line.segmentStart = line.writeIndex;
      line.segmentLength = segmentLength;
      line.position = 0;
      gain = 0.0f;
    } else {
      const int ramp = std::max(std::min(line.segmentLength / 4, fadeLength), 1);
      const int remaining = line.segmentLength - line.position;
      if (line.position < ramp) gain = (float)line.position / (float)ramp;
      else if (remaining < ramp) gain = (float)remaining / (float)ramp;
      else gain = 1.0f;
    }
    int r = line.segmentStart - 1 - line.position;
    while (r < 0) r += len;
    const float y = gain * s[r];
    out[i] = y;
    const float f = dsp::clampNanHigh(feedback[i], 0.0f, kMaxFeedback);
    s[line.writeIndex] = dsp::finiteOrZero(in[i] + y * f); // nothing non-finite is fed back
    line.writeIndex = dsp::nextIndex(line.writeIndex, len);
    line.position++;
  }
}

void ReverseDelay::passThrough(int n) {
  const float *leftIn = mLeftIn.buffer();
  const float *rightIn = mRightIn.buffer();
  float *leftOut = mLeftOut.buffer();
  float *rightOut = mRightOut.buffer();
  for (int i = 0; i < n; i++) leftOut[i] = leftIn[i];
  if (isStereo())
    for (int i = 0; i < n; i++) rightOut[i] = rightIn[i];
}

void ReverseDelay::process() {
  const int n = globalConfig.frameLength & ~3;
  const bool stereo = isStereo();
  od::RenderGate::Frame frame(mMemoryGate);
  if (!frame.open() || mBufferLength == 0 || !mLeft.buffer || (stereo && !mRight.buffer)) {
    passThrough(n);
    return;
  }

  const float sr = (float)sampleRate();
  int segmentLength = dsp::truncToInt(mDelay.target() * sr);
  segmentLength = std::min(segmentLength, mMaximumDelay);
  segmentLength = std::max(segmentLength, n);
  const int fadeLength = dsp::truncToInt(sr * kFadeSeconds);

  pushSamples(mLeft, mLeftIn.buffer(), mLeftOut.buffer(), mFeedback.buffer(), segmentLength, fadeLength);
  if (stereo) pushSamples(mRight, mRightIn.buffer(), mRightOut.buffer(), mFeedback.buffer(), segmentLength, fadeLength);
}
