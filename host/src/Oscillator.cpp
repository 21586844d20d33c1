#include "BandLimitedStep.h"
#include "Controls.h"

#include <od/Oscillator.h>

#include <algorithm>
#include <cmath>

namespace od {

namespace {
constexpr float kDefaultFrequency = 440.0f; // Hz
constexpr float kDefaultWidth = 0.5f;

// The naive waveform at a phase in [0, 1), peak 1.
double naive(int shape, double phase, double width) {
  switch (shape) {
  case Oscillator::kTriangle: return phase < 0.25 ? 4.0 * phase : phase < 0.75 ? 2.0 - 4.0 * phase : 4.0 * phase - 4.0;
  case Oscillator::kSaw: return 2.0 * phase - 1.0;
  case Oscillator::kSquare:
  case Oscillator::kPulse: return phase < width ? 1.0 : -1.0;
  default: return std::sin(kTwoPi * phase);
  }
}
} // namespace

Oscillator::Oscillator() : mStep(BandLimitedStep::table()) {
  addInput(mFrequency);
  addInput(mLevel);
  addInput(mWidth);
  addInput(mSync);
  addOutput(mOut);
  addOption(mShape);
  mFrequency.setConstant(kDefaultFrequency);
  mLevel.setConstant(1.0f);
  mWidth.setConstant(kDefaultWidth);
}

Oscillator::~Oscillator() = default;

// A jump of `height` that happened `late` samples (0..1) before the newest sample.
void Oscillator::addJump(float height, float late) {
  const unsigned first = mTime - BandLimitedStep::kHalfWidth;
  for (int k = 0; k < BandLimitedStep::kTaps; k++) mRing[(first + k) & kRingMask] += height * mStep.residual(k, late);
}

void Oscillator::process() {
  const int n = globalConfig.frameLength;
  const float *frequency = mFrequency.buffer();
  const float *level = mLevel.buffer();
  const float *width = mWidth.buffer();
  const float *sync = mSync.buffer();
  float *out = mOut.buffer();
  const int shape = mShape.value();
  const bool stepped = shape == kSaw || shape == kSquare || shape == kPulse;
  const double rate = sampleRate();
  const float nyquist = 0.5f * (float)rate;

  for (int i = 0; i < n; i++) {
    const double step = dsp::clampNanLow(frequency[i], 0.0f, nyquist) / rate;
    const double w = shape == kSquare ? 0.5 : dsp::clampNanLow(width[i], 0.0f, 1.0f);
    const double previous = mPhase;
    double phase = previous + step; // unwrapped: below 1.5, as the step is at most 0.5
    mTime++;

    if (stepped) {
      // Every edge crossed since the last sample, at its fractional time.
      auto edge = [&](double at, double height) {
        if (previous < at && at <= phase) addJump((float)height, (float)std::min(1.0, (phase - at) / step));
      };
      if (shape == kSaw) {
        edge(1.0, -2.0);
      } else {
        edge(w, -2.0);
        edge(1.0, 2.0);
        edge(1.0 + w, -2.0);
      }
    }
    if (phase >= 1.0) phase -= std::floor(phase);

    const bool syncHigh = sync[i] > 0.5f;
    if (syncHigh && !mSyncHigh) {
      addJump((float)(naive(shape, 0.0, w) - naive(shape, phase, w)), 0.0f);
      phase = 0.0;
    }
    mSyncHigh = syncHigh;
    mPhase = phase;

    mRing[mTime & kRingMask] += (float)naive(shape, phase, w);
    const unsigned due = (mTime - kLatency) & kRingMask;
    out[i] = levelControl(level[i]) * mRing[due];
    mRing[due] = 0.0f;
  }
}

} // namespace od
