#include "Unison.h"

#include <dsp/Clamp.h>
#include <dsp/DelayLine.h>
#include <dsp/OnePole.h>
#include <dsp/TwoHeadReader.h>
#include <od/BigHeap.h>

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

struct VoiceLayout {
  float detune; // times the detune in cents
  float pan;    // +1 right, -1 left
  float delay;  // times the spread delay
};
constexpr VoiceLayout kLayout[Unison::kVoices] = {
    {1.0f, 1.0f, 0.0f}, {-1.0f, -1.0f, 1.0f}, {-0.4f, -1.0f, 0.0f}, {0.4f, 1.0f, 1.0f}};
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
  mBuffer = (float *)od::BigHeap::allocateZeroed(mBufferLength * (int)sizeof(float));
}

Unison::~Unison() {
  od::BigHeap::free((char *)mBuffer);
  mBuffer = nullptr;
}

void Unison::process() {
  const int n = globalConfig.frameLength & ~3;
  if (n < 4) return;
  const float *in = mIn.buffer();
  const float *detune = mDetune.buffer();
  const float *blend = mBlend.buffer();
  const float *spread = mSpread.buffer();
  float *outL = mOutL.buffer();
  float *outR = mOutR.buffer();
  float *outMono = mOutMono.buffer();

  if (mBuffer == nullptr) {
    for (int i = 0; i < n; i++) {
      outL[i] = in[i];
      outR[i] = in[i];
      outMono[i] = in[i];
    }
    return;
  }

  const int len = mBufferLength;
  const float window = mWindowLength;

  for (int i = 0; i < n; i++) {
    const float x = in[i];
    mBuffer[mWriteIndex] = x;

    mSmoothedDetune = dsp::onePoleStep(mSmoothedDetune, dsp::clampNanHigh(detune[i], 0.0f, kMaximumDetune), mDetuneSmoothing);
    mSmoothedSpread = dsp::onePoleStep(mSmoothedSpread, dsp::clampNanHigh(spread[i], 0.0f, 1.0f), mSpreadSmoothing);
    const float k = mSmoothedDetune * kCentsToLog;
    const float base = (float)(mWriteIndex - 1);

    float mono = 0.0f;
    float left = 0.0f;
    float right = 0.0f;
    for (int j = 0; j < kVoices; j++) {
      const VoiceLayout &voice = kLayout[j];
      // -x - x^2/2 approximates 1 - e^x: the voice plays at the ratio e^x.
      const float xj = k * voice.detune;
      mPhases[j] = dsp::advancePhase(mPhases[j], (-xj - xj * xj / 2.0f) / window);
      const float origin = base - mSmoothedSpread * mSpreadDelay * voice.delay;
      const float y = dsp::twoHeadRead(mBuffer, len, origin, -window, mPhases[j]);
      mono += kVoiceGain * y;
      left += kVoiceGain * (1.0f - mSmoothedSpread * voice.pan) * y;
      right += kVoiceGain * (1.0f + mSmoothedSpread * voice.pan) * y;
    }

    const float b = dsp::clampNanHigh(blend[i], 0.0f, 1.0f);
    outL[i] = x + (left - x) * b;
    outR[i] = x + (right - x) * b;
    outMono[i] = x + (mono - x) * b;
    mWriteIndex = dsp::nextIndex(mWriteIndex, len);
  }
}
