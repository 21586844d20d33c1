#include "Unison.h"

#include <dsp/Clamp.h>
#include <dsp/DelayLine.h>
#include <dsp/Frame.h>
#include <dsp/LaneSums.h>
#include <dsp/OnePole.h>
#include <dsp/TwoHeadReader.h>
#include <od/FloatBlock.h>

namespace {
// Shifter window 25 ms; the delayed voices sit up to 10 ms further back.
constexpr float kWindowSeconds = 0.025f;
constexpr float kSpreadSeconds = 0.01f;
constexpr int kBufferMargin = 8;
// Detune and spread smoothing: time constant 20 ms.
constexpr float kSmoothingRate = 50.0f;
constexpr float kMaximumDetune = 100.0f;
// ln 2 / 1200: cents to a natural-log pitch ratio.
constexpr float kCentsToLog = 0.000577622675f;
// Each voice's share of the sums.
constexpr float kVoiceGain = 0.25f;

// The voices' layout, one lane per voice: the detune (times the detune in cents), the pan
// (+1 right, -1 left) and the delay (times the spread delay).
const float4 kVoiceDetune = {1.0f, -1.0f, -0.4f, 0.4f};
const float4 kVoicePan = {1.0f, -1.0f, -1.0f, 1.0f};
const float4 kVoiceDelay = {0.0f, 1.0f, 0.0f, 1.0f};
} // namespace

Unison::Unison() {
  addInput(mIn);
  addOutput(mOutL);
  addOutput(mOutR);
  addOutput(mOutMono);
  addInput(mDetune);
  addInput(mBlend);
  addInput(mSpread);

  const float sr = (float)sampleRate();
  mBufferLength = (int)(kWindowSeconds * sr + kSpreadSeconds * sr) + kBufferMargin;
  mWindowLength = kWindowSeconds * sr;
  mSpreadDelay = kSpreadSeconds * sr;
  mDetuneSmoothing = dsp::onePoleCoefficient(kSmoothingRate, sr);
  mSpreadSmoothing = dsp::onePoleCoefficient(kSmoothingRate, sr);
  mMemory = od::FloatBlock(mBufferLength);
  mBuffer = mMemory.data();
}

Unison::~Unison() = default;

void Unison::process() {
  const int n = dsp::usableFrameLength();
  if (n == 0) return;
  const float *in = mIn.buffer();
  const float *detune = mDetune.buffer();
  const float *blend = mBlend.buffer();
  const float *spread = mSpread.buffer();
  float *outL = mOutL.buffer();
  float *outR = mOutR.buffer();
  float *outMono = mOutMono.buffer();

  if (!mMemory) {
    for (int i = 0; i < n; i++) {
      outL[i] = in[i];
      outR[i] = in[i];
      outMono[i] = in[i];
    }
    return;
  }

  const int len = mBufferLength;
  const float window = mWindowLength;
  static_assert(kVoices == 4, "one voice per lane");
  float4 phases = simd_load(mPhases);
  float smoothedDetune = mSmoothedDetune;
  float smoothedSpread = mSmoothedSpread;
  int writeIndex = mWriteIndex;

  for (int i = 0; i < n; i++) {
    const float x = in[i];
    mBuffer[writeIndex] = x;

    smoothedDetune = dsp::onePoleStep(smoothedDetune, dsp::clampNanHigh(detune[i], 0.0f, kMaximumDetune), mDetuneSmoothing);
    smoothedSpread = dsp::onePoleStep(smoothedSpread, dsp::clampNanHigh(spread[i], 0.0f, 1.0f), mSpreadSmoothing);
    const float k = smoothedDetune * kCentsToLog;
    const float base = (float)(writeIndex - 1);

    // The four voices as the four lanes, each lane with the arithmetic of one voice.
    // -x - x^2/2 approximates 1 - e^x: the voice plays at the ratio e^x.
    const float4 xj = k * kVoiceDetune;
    phases = dsp::advancePhase(phases, (-xj - xj * xj / 2.0f) / window);
    const float4 origin = base - smoothedSpread * mSpreadDelay * kVoiceDelay;
    const float4 y = dsp::twoHeadRead(mBuffer, len, origin, -window, phases);
    // The voices summed in order, as one at a time.
    const float mono = dsp::addLanesInOrder(0.0f, kVoiceGain * y);
    const float left = dsp::addLanesInOrder(0.0f, kVoiceGain * (1.0f - smoothedSpread * kVoicePan) * y);
    const float right = dsp::addLanesInOrder(0.0f, kVoiceGain * (1.0f + smoothedSpread * kVoicePan) * y);

    const float b = dsp::clampNanHigh(blend[i], 0.0f, 1.0f);
    outL[i] = x + (left - x) * b;
    outR[i] = x + (right - x) * b;
    outMono[i] = x + (mono - x) * b;
    writeIndex = dsp::nextIndex(writeIndex, len);
  }
  simd_store(mPhases, phases);
  mSmoothedDetune = smoothedDetune;
  mSmoothedSpread = smoothedSpread;
  mWriteIndex = writeIndex;
}
