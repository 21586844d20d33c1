#pragma once

#include <cmath>

#include <od/simd.h>

namespace dsp {

// 2 pi in float: the angular rate of a corner is kTwoPi * hertz.
constexpr float kTwoPi = 6.2831855f;

// Coefficient of a one-pole smoother: k = 1 - exp(-a / sampleRate), where a is the
// reciprocal of the time constant in seconds. Computed in float, as written.
inline float onePoleCoefficient(float a, float sampleRate) { return 1.0f - expf(-a / sampleRate); }

// One smoothing step: value <- value + (target - value) * k.
inline float onePoleStep(float value, float target, float k) { return value + (target - value) * k; }
inline float4 onePoleStep(float4 value, float4 target, float k) { return value + (target - value) * k; }
inline float4 onePoleStep(float4 value, float4 target, float4 k) { return value + (target - value) * k; }

// Envelope follower step: towards `level` with `rise` when it is above the envelope, else `fall`.
inline float followStep(float envelope, float level, float rise, float fall) {
  return onePoleStep(envelope, level, level > envelope ? rise : fall);
}

} // namespace dsp
