#pragma once

#include <cmath>

namespace od {

// The step share k = 1 - exp(-1 / (tau * rate)) of a one-pole approach whose time constant
// is `scale` times a time control, computed again only when the control changes, so a held
// time costs one comparison per sample. A time of 0 gives 1 (the target at once).
struct SmoothingRate {
  float seconds = -1.0f;
  float share = 1.0f;

  float of(float limitedSeconds, double scale, double sampleRate) {
    if (limitedSeconds != seconds) {
      seconds = limitedSeconds;
      const double tau = limitedSeconds * scale;
      share = tau > 0.0 ? (float)(1.0 - std::exp(-1.0 / (tau * sampleRate))) : 1.0f;
    }
    return share;
  }
};

} // namespace od
