#include "Controls.h"

#include <od/LFO.h>
#include <od/Random.h>

#include <cmath>

namespace od {

namespace {
constexpr float kDefaultRate = 1.0f; // Hz

// The start phase in [0, 1): its fractional part; NaN and infinities read 0.
double startPhase(float phase) {
  if (!std::isfinite(phase)) return 0.0;
  return phase - std::floor((double)phase);
}
} // namespace

LFO::LFO() {
  addInput(mRate);
  addInput(mLevel);
  addInput(mOffset);
  addInput(mSync);
  addOutput(mOut);
  addParameter(mStartPhase);
  addOption(mShape);
  mStartPhase.enableSerialization();
  mRate.setConstant(kDefaultRate);
  mLevel.setConstant(1.0f);
}

LFO::~LFO() = default;

// Only the sample-and-hold shape draws from the random source, so other shapes leave the
// sequence other objects draw from as it was.
void LFO::restart(bool draw) {
  mPhase = startPhase(mStartPhase.value());
  if (draw) mHeld = Random::generateFloat(-1.0f, 1.0f);
}

void LFO::process() {
  const int n = globalConfig.frameLength;
  const float *rate = mRate.buffer();
  const float *level = mLevel.buffer();
  const float *offset = mOffset.buffer();
  const float *sync = mSync.buffer();
  float *out = mOut.buffer();
  const int shape = mShape.value();
  const double period = samplePeriod();
  const bool draws = shape == kSampleAndHold;
  if (!mStarted) {
    restart(draws);
    mStarted = true;
  }

  for (int i = 0; i < n; i++) {
    const bool syncHigh = sync[i] > 0.5f;
    if (syncHigh && !mSyncHigh) restart(draws);
    mSyncHigh = syncHigh;

    const double p = mPhase;
    double value;
    switch (shape) {
    case kTriangle: value = p < 0.25 ? 4.0 * p : p < 0.75 ? 2.0 - 4.0 * p : 4.0 * p - 4.0; break;
    case kSawUp: value = 2.0 * p - 1.0; break;
    case kSquare: value = p < 0.5 ? 1.0 : -1.0; break;
    case kSampleAndHold: value = mHeld; break;
    default: value = std::sin(kTwoPi * p); break;
    }
    out[i] = levelControl(offset[i]) + levelControl(level[i]) * (float)value;

    mPhase += dsp::clampNanLow(rate[i], 0.0f, kMaxRate) * period;
    if (mPhase >= 1.0) {
      mPhase -= std::floor(mPhase);
      if (draws) mHeld = Random::generateFloat(-1.0f, 1.0f);
    }
  }
}

} // namespace od
