#include "Controls.h"

#include <od/Sine.h>

#include <cmath>

namespace od {

namespace {
constexpr float kDefaultFrequency = 440.0f; // Hz
} // namespace

Sine::Sine() {
  addInput(mFrequency);
  addInput(mLevel);
  addOutput(mOut);
  mFrequency.setConstant(kDefaultFrequency);
  mLevel.setConstant(1.0f);
}

Sine::~Sine() = default;

void Sine::process() {
  const int n = globalConfig.frameLength;
  const float *frequency = mFrequency.buffer();
  const float *level = mLevel.buffer();
  float *out = mOut.buffer();
  const double period = samplePeriod();

  for (int i = 0; i < n; i++) {
    out[i] = level[i] * (float)std::sin(kTwoPi * mPhase);
    const double step = frequency[i] * period;
    // A non-finite frequency holds the phase rather than poisoning it for good.
    if (std::isfinite(step)) {
      mPhase += step;
      mPhase -= std::floor(mPhase);
    }
  }
}

} // namespace od
