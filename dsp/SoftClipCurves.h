#pragma once

// The six soft-clip curves selected by the codes SC_TANH (4) to SC_RECIP (9), four lanes
// at a time. Shared by SoftClip's "Algo" and Exciter's "Mode".

#include <od/simd.h>

namespace dsp {

enum SoftClipCurve { kTanh = 4, kSin = 5, kExp = 6, kTwoStage = 7, kCubic = 8, kReciprocal = 9 };

// Single-precision values nearest to 2/3, 1/3 and 3*pi/4.
constexpr float kTwoThirds = 0.6666667f;
constexpr float kOneThird = 0.33333334f;
constexpr float kThreeQuarterPi = 2.3561945f;
// tanh argument: u = min(5|x|, 10) keeps e^(2u) finite.
constexpr float kTanhDrive = 5.0f;
constexpr float kTanhLimit = 10.0f;
// Slope of the reciprocal curve 1 - 1/(1 + 30|x|).
constexpr float kReciprocalDrive = 30.0f;

inline float4 softClipSign(float4 x) {
  const float4 one = simd_set(1.0f);
  const float4 zero = simd_set(0.0f);
  return x > zero ? one : (x < zero ? -one : zero);
}

// Applies curve `code` to four lanes; any other code returns x unchanged.
inline float4 softClip(int code, float4 x) {
  const float4 one = simd_set(1.0f);
  const float4 sign = softClipSign(x);
  const float4 a = x < 0.0f ? -x : x;
  const auto beyond = a > kTwoThirds;
  switch (code) {
  case kTanh: {
    float4 u = a * kTanhDrive;
    u = u < kTanhLimit ? u : simd_set(kTanhLimit);
    return sign * (one - simd_set(2.0f) * simd_invert(simd_exp(u * 2.0f) + one));
  }
  case kSin:
    return beyond ? sign : simd_sin(x * kThreeQuarterPi);
  case kExp: {
    const float4 d = a * 1.5f - one;
    return beyond ? sign : sign * (one - d * d);
  }
  case kTwoStage: {
    const float4 d = simd_set(2.0f) - a * 3.0f;
    const float4 middle = sign * (simd_set(3.0f) - d * d) * kOneThird;
    return a < kOneThird ? x * 2.0f : (beyond ? sign : middle);
  }
  case kCubic:
    return beyond ? sign : x * 2.25f - x * x * x * 1.6875f;
  case kReciprocal:
    return sign * (one - simd_invert(one + a * kReciprocalDrive));
  default:
    return x;
  }
}

} // namespace dsp
