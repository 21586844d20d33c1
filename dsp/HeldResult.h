#pragma once

// The last result of a costly function of a control, kept while the control holds still.

#include <dsp/Vector.h>

#include <cmath>

namespace dsp {

// f on four lanes of a control, where f is a pure function (the same bits in, the same bits
// out): four lanes holding the bits of the last input give the last result without calling f.
class HeldResult {
public:
  template <typename F> float4 operator()(float4 x, F f) {
    if (allLanes(bitsOf(x) == bitsOf(simd_set(mInput)))) return simd_set(mResult);
    const float4 y = f(x);
    mInput = x[3];
    mResult = y[3];
    return y;
  }

private:
  float mInput = NAN; // no control's bits at first: clamped controls are never NaN
  float mResult = 0.0f;
};

} // namespace dsp
