#pragma once

// The six free-running squares of the metal drum voices, at fixed ratios of one frequency,
// run as vector lanes: partials 0 to 3 in one vector, 4 and 5 in the first two lanes of a
// second (its last two lanes have ratio 0 and stay at phase 0). Each lane steps as
// advancePhaseAt and squares as square (dsp/DrumVoice.h) do.

#include <dsp/DrumVoice.h>
#include <dsp/Lanes.h>

#include <algorithm>

namespace dsp {

class SquareCluster {
public:
  static constexpr int kPartials = 6;

  SquareCluster(const float (&phases)[kPartials], const float (&ratios)[kPartials])
      : mLow(simd_load(phases)), mHigh{phases[4], phases[5], 0.0f, 0.0f}, mRatiosLow(simd_load(ratios)),
        mRatiosHigh{ratios[4], ratios[5], 0.0f, 0.0f} {}

  void store(float (&phases)[kPartials]) const {
    simd_store(phases, mLow);
    phases[4] = mHigh[0];
    phases[5] = mHigh[1];
  }

  // Advances every partial at "Tune" times its ratio (advancePhaseAt, each limited to
  // maxFrequency); a negative or NaN "Tune" freezes them.
  void advanceTuned(float tune, float maxFrequency, float rate) {
    if (!(tune >= 0.0f)) return;
    const float f = std::min(tune, maxFrequency);
    mLow = stepped(mLow, phaseStep(f * mRatiosLow, maxFrequency, rate));
    mHigh = stepped(mHigh, phaseStep(f * mRatiosHigh, maxFrequency, rate));
  }

  // square() of every partial's phase.
  void squares(float (&q)[kPartials]) const {
    const float4 low = squareLanes(mLow);
    const float4 high = squareLanes(mHigh);
    for (int k = 0; k < 4; k++) q[k] = low[k];
    q[4] = high[0];
    q[5] = high[1];
  }

private:
  // stepPhase on each lane; a step of at most maxFrequency / rate (below one cycle) keeps
  // the sum below 2, where floorNearUnit is floorf.
  static float4 stepped(float4 phase, float4 step) {
    phase += step;
    return phase >= 1.0f ? phase - floorNearUnit(phase) : phase;
  }
  static float4 squareLanes(float4 phase) { return phase < 0.5f ? simd_set(1.0f) : simd_set(-1.0f); }

  float4 mLow, mHigh;
  float4 mRatiosLow, mRatiosHigh;
};

} // namespace dsp
