#pragma once

// Measures pure tones in rendered audio (Goertzel), for tests of pitch and detune.

#include <cmath>
#include <vector>

namespace qvztest {

// Mean power of the component at `hz` in samples [begin, end), normalised so that a
// sine of amplitude A gives about A^2 / 4.
inline double tonePower(const std::vector<float> &samples, size_t begin, size_t end, double hz, double sampleRate) {
  const double w = 2.0 * M_PI * hz / sampleRate;
  const double c = 2.0 * std::cos(w);
  double s1 = 0.0, s2 = 0.0;
  for (size_t i = begin; i < end; i++) {
    const double s0 = samples[i] + c * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  const double n = (double)(end - begin);
  return (s1 * s1 + s2 * s2 - c * s1 * s2) / (n * n);
}

// The frequency in [lo, hi], searched in steps of `step` Hz, with the most power.
inline double peakFrequency(const std::vector<float> &samples, size_t begin, size_t end, double lo, double hi,
                            double step, double sampleRate) {
  double best = lo, bestPower = -1.0;
  for (double hz = lo; hz <= hi; hz += step) {
    const double p = tonePower(samples, begin, end, hz, sampleRate);
    if (p > bestPower) {
      bestPower = p;
      best = hz;
    }
  }
  return best;
}

} // namespace qvztest
