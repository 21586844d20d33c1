#include "Lofi.h"

#include <dsp/DelayLine.h>
#include <dsp/Clamp.h>
#include <dsp/Frame.h>
#include <dsp/OnePole.h>
#include <od/config.h>

#include <cmath>
#include <new>

namespace {
using dsp::kTwoPi;
// Line of 20 ms plus 8 samples of guard for the four-point reads.
constexpr float kLineSeconds = 0.02f;
constexpr int kLineGuard = 8;
// Compressor: time constants 4 ms (attack), 300 ms (release), 6 ms (gain), as reciprocals.
constexpr float kAttackRate = 1.0f / 0.004f;
constexpr float kReleaseRate = 1.0f / 0.3f;
constexpr float kGainRate = 1.0f / 0.006f;
// 6:1 above 0.12: gain (envelope / 0.12)^(-5/6).
constexpr float kThreshold = 0.12f;
constexpr float kInverseThreshold = 8.333334f;
constexpr float kCompressionExponent = -0.8333333f;
// Cubic saturator y - 4y^3/27, flat at y = +-1.5, scaled on output.
constexpr float kCubicCurve = 0.14814815f;
constexpr float kCubicLimit = 1.5f;
constexpr float kInputDrive = 2.0f;
constexpr float kInputCeiling = 1.15f;
constexpr float kWetDrive = 1.08f;
constexpr float kWetCeiling = 1.04f;
// 2 pi x 450 Hz: the wet tap's low-pass.
constexpr float kWetRate = -kTwoPi * 450.0f;
// Smoothing of the triangle (8 ms) and square (12 ms); edge ringing decays in 22 ms.
constexpr float kTriangleRate = 1.0f / 0.008f;
constexpr float kSquareRate = 1.0f / 0.012f;
constexpr float kRingDecayRate = -1.0f / 0.022f;
// 2 pi x 16 Hz: the edge ringing.
constexpr float kRingRate = kTwoPi * 16.0f;
constexpr float kRingLevel = 0.028f;
constexpr float kRingedLimit = 1.03f;
// 2.8 ms taps; the float constant of the fixed tap is one step above 0.0028.
constexpr float kTapMs = 2.8f;
constexpr float kFixedTapSeconds = 0.0028000001f;
constexpr float kMinModulatedDelay = 2.0f;
// Oscillator from 0.15 Hz to 5 Hz: 0.15 x exp(ln(100/3) x speed).
constexpr float kBaseRateHz = 0.15f;
constexpr float kRateSpan = 3.506558f;
// Delay swing in ms at full depth, per waveform.
constexpr float kSineSwing = 1.18f;
constexpr float kSquareSwing = 0.3f;
constexpr float kTriangleSwing = 0.95f;

// Samples per chunk: the oscillator of a chunk runs ahead of its line.
constexpr int kChunk = 64;

enum Waveform { kSine = 4, kTriangleWave = 5, kRingingSquare = 6 };

// The cubic saturator on each lane: +-ceiling from +-1.5 on, (y - 4y^3/27) x ceiling between.
float4 cubicSaturate(float4 y, float ceiling) {
  const float4 curve = (y - kCubicCurve * (y * y * y)) * ceiling;
  const float4 belowLimit = y <= -kCubicLimit ? simd_set(-ceiling) : curve;
  return y >= kCubicLimit ? simd_set(ceiling) : belowLimit;
}
} // namespace

Lofi::Lofi() {
  addInput(mIn);
  addInput(mDepth);
  addInput(mSpeed);
  addInput(mBlend);
  addOutput(mOut);
  addOption(mWaveform);
  const float sampleRate = (float)this->sampleRate();
  mLineLength = (int)(sampleRate * kLineSeconds) + kLineGuard;
  mLine = new (std::nothrow) float[mLineLength]();
  mAttackStep = dsp::onePoleCoefficient(kAttackRate, sampleRate);
  mReleaseStep = dsp::onePoleCoefficient(kReleaseRate, sampleRate);
  mGainStep = dsp::onePoleCoefficient(kGainRate, sampleRate);
}

Lofi::~Lofi() { delete[] mLine; }

void Lofi::process() {
  const int n = dsp::usableFrameLength();
  if (n == 0) return;
  const float sr = (float)sampleRate();
  const float T = samplePeriod();
  const float wetStep = 1.0f - expf(kWetRate * T);
  const float triangleStep = dsp::onePoleCoefficient(kTriangleRate, sr);
  const float squareStep = dsp::onePoleCoefficient(kSquareRate, sr);
  const float ringDecay = expf(kRingDecayRate / sr);
  const float ringIncrement = kRingRate * T;
  const float samplesPerMs = sr * 0.001f;
  const float fixedDelay = sr * kFixedTapSeconds;
  const float rateBase = kBaseRateHz * T;
  const float maxDelay = (float)(mLineLength - 4);

  // A new waveform starts its smoother from the current oscillator output.
  const int waveform = mWaveform.value();
  if (waveform != mPreviousWaveform) {
    const float current = mPreviousWaveform == kSine ? sinf(kTwoPi * mPhase) : 0.0f;
    if (waveform == kRingingSquare) {
      mOscillator = mPreviousWaveform == kSine ? current : mTriangle;
      mRingAmplitude = 0.0f;
      mRingPhase = 0.0f;
      mSquare = mPhase < 0.5f ? 1.0f : -1.0f;
    } else if (waveform == kTriangleWave) {
      mTriangle = mPreviousWaveform == kSine ? current : mOscillator;
    }
  }
  mPreviousWaveform = waveform;

  const float *in = mIn.buffer();
  float *out = mOut.buffer();
  if (mLine == nullptr) {
    for (int i = 0; i < n; i++) out[i] = in[i];
    return;
  }
  const float *depth = mDepth.buffer();
  const float *speed = mSpeed.buffer();
  const float *blend = mBlend.buffer();

  // Each chunk runs in two passes: the oscillator and the controls of every sample, then the
  // compressor, the line and its taps. The two share no state, and every value is computed
  // from the same operands in the same order as in one pass.
  const float swing = waveform == kSine ? kSineSwing : waveform == kRingingSquare ? kSquareSwing : kTriangleSwing;
  // The line's state in locals: no store into the line can be taken for one into them.
  float envelope = mEnvelope;
  float gain = mGain;
  int writeAt = mWriteIndex;
  float wetState = mWetLowPass;
  float *const line = mLine;
  const int len = mLineLength;
  const float attackStep = mAttackStep;
  const float releaseStep = mReleaseStep;
  const float gainStep = mGainStep;
  for (int start = 0; start < n; start += kChunk) {
    const int count = n - start < kChunk ? n - start : kChunk;
    float delay[kChunk]; // of the modulated tap, in samples
    float mix[kChunk];   // the clamped "Blend"
    for (int j = 0; j < count; j += 4) {
      const int i = start + j;
      const float4 phaseStep = mRate(dsp::clampNanLow(simd_load(speed + i), 0.0f, 1.0f),
                                     [](float4 s) { return simd_exp(kRateSpan * s); }) *
                               rateBase;
      float4 v;
      for (int lane = 0; lane < 4; lane++) {
        mPhase += phaseStep[lane];
        if (mPhase >= 1.0f) mPhase -= floorf(mPhase);
        if (waveform == kSine) {
          v[lane] = sinf(kTwoPi * mPhase);
          mOscillator = v[lane];
          mRingAmplitude = 0.0f;
        } else if (waveform == kRingingSquare) {
          const bool firstHalf = mPhase < 0.5f;
          const float level = firstHalf ? 1.0f : -1.0f;
          const float ringSign = firstHalf ? kRingLevel : -kRingLevel;
          float ring;
          if (mSquare != level) {
            ring = 0.0f;
            mRingAmplitude = 1.0f;
            mRingPhase = 0.0f;
          } else {
            ring = ringSign * mRingAmplitude * sinf(mRingPhase);
          }
          mSquare = level;
          mRingPhase += ringIncrement;
          if (mRingPhase >= kTwoPi) mRingPhase -= kTwoPi;
          mOscillator = dsp::onePoleStep(mOscillator, level, squareStep);
          v[lane] = dsp::clampNanLow(ring + mOscillator, -kRingedLimit, kRingedLimit);
          mRingAmplitude *= ringDecay;
        } else {
          const float triangle = 1.0f - 4.0f * fabsf(mPhase - 0.5f);
          mTriangle = dsp::onePoleStep(mTriangle, triangle, triangleStep);
          v[lane] = mOscillator = mTriangle;
          mRingAmplitude = 0.0f;
        }
      }
      const float4 d = dsp::clampNanLow(simd_load(depth + i), 0.0f, 1.0f);
      const float4 shapedDepth = d * d * (3.0f - 2.0f * d);
      simd_store(delay + j, dsp::clampNanLow((kTapMs + shapedDepth * v * swing) * samplesPerMs, kMinModulatedDelay, maxDelay));
      simd_store(mix + j, dsp::clampNanLow(simd_load(blend + i), 0.0f, 1.0f));
    }

    for (int j = 0; j < count; j += 4) {
      const int i = start + j;
      // Compressor: envelope follower, 6:1 gain computer, smoothed gain; four samples into the line.
      float4 gains;
      for (int lane = 0; lane < 4; lane++) {
        const float a = fabsf(in[i + lane]);
        envelope = dsp::finiteOrZero(dsp::followStep(envelope, a, attackStep, releaseStep)); // no NaN kept
        const float target = envelope <= kThreshold ? 1.0f : powf(envelope * kInverseThreshold, kCompressionExponent);
        gains[lane] = gain = dsp::onePoleStep(gain, target, gainStep);
      }
      const float4 written = dsp::finiteOrZero(cubicSaturate(kInputDrive * simd_load(in + i) * gains, kInputCeiling));
      dsp::int4 writeIndex;
      for (int lane = 0; lane < 4; lane++) {
        line[writeAt] = written[lane];
        writeIndex[lane] = writeAt;
        writeAt = dsp::nextIndex(writeAt, len);
      }

      // The taps of those four samples. They reach back at least 2 samples and at most about
      // 4 ms of the 20 ms line, so no tap touches a sample written after its own.
      const float4 writePosition = dsp::floatLanes(writeIndex);
      const float4 fixedTap =
          dsp::readCatmullRom(line, len, dsp::wrapIntoLine(writePosition - fixedDelay, len));
      const float4 modulatedTap =
          dsp::readCatmullRom(line, len, dsp::wrapIntoLine(writePosition - simd_load(delay + j), len));

      const float4 wet = cubicSaturate(modulatedTap * kWetDrive, kWetCeiling);
      float4 wetLowPass;
      for (int lane = 0; lane < 4; lane++)
        wetLowPass[lane] = wetState = dsp::finiteOrZero(dsp::onePoleStep(wetState, wet[lane], wetStep));
      const float4 b = simd_load(mix + j);
      simd_store(out + i, fixedTap * (1.0f - b) + wetLowPass * b);
    }
  }
  mEnvelope = envelope;
  mGain = gain;
  mWriteIndex = writeAt;
  mWetLowPass = wetState;
}
