#pragma once

#include <cmath>

namespace dsp {

// roundf without the library call, bit for bit: the nearest whole number, halves away from
// zero, with the sign of x (-0.3 gives -0). Every float from 2^23 up in size is whole already
// and comes back as it is, as do the infinities and NaN (only a signalling NaN, which roundf
// would quiet, stays signalling; arithmetic results never are).
inline float roundHalfAway(float x) {
  constexpr float kFirstWhole = 8388608.0f; // 2^23: no float this large has a fraction
  const float size = std::fabs(x);
  if (!(size < kFirstWhole)) return x;
  // Below 2^23 the truncation and the fraction size - truncation are exact; the half is
  // added as an int, so no branch waits on the fraction.
  const int truncated = (int)size;
  const int whole = truncated + (size - (float)truncated >= 0.5f ? 1 : 0);
  return std::copysign((float)whole, x);
}

} // namespace dsp
