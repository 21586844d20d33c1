#include "BandLimitedStep.h"

#include <cmath>
#include <vector>

namespace od {

namespace {
constexpr double kPi = 3.14159265358979323846;
// Corner of the step's low-pass, as a fraction of the sample rate, and the Kaiser window's
// shape: together they keep images of the jumps at least 60 dB down once folded back.
constexpr double kCutoff = 0.41;
constexpr double kKaiserBeta = 9.0;
// Integration points per table point.
constexpr int kSubsteps = 16;

// Modified Bessel function of the first kind, order 0, by its power series.
double besselI0(double x) {
  double sum = 1.0, term = 1.0;
  for (int k = 1; k < 64; k++) {
    term *= (x / (2.0 * k)) * (x / (2.0 * k));
    sum += term;
    if (term < sum * 1e-17) break;
  }
  return sum;
}

// The windowed sinc at time t samples from the jump.
double impulse(double t) {
  const double half = BandLimitedStep::kHalfWidth;
  if (std::fabs(t) >= half) return 0.0;
  const double x = 2.0 * kCutoff * t;
  const double sinc = x == 0.0 ? 1.0 : std::sin(kPi * x) / (kPi * x);
  const double u = t / half;
  return 2.0 * kCutoff * sinc * besselI0(kKaiserBeta * std::sqrt(1.0 - u * u)) / besselI0(kKaiserBeta);
}
} // namespace

const BandLimitedStep &BandLimitedStep::table() {
  static const BandLimitedStep instance;
  return instance;
}

BandLimitedStep::BandLimitedStep() {
  // The step sampled every 1 / (kPhases * kSubsteps) samples from -kHalfWidth, integrated
  // with the trapezoid rule and scaled to end at exactly 1.
  const int resolution = kPhases * kSubsteps;
  const int points = kTaps * resolution;
  const double dt = 1.0 / resolution;
  std::vector<double> step(points + 1, 0.0);
  for (int i = 1; i <= points; i++) {
    const double t0 = -kHalfWidth + (i - 1) * dt, t1 = t0 + dt;
    step[i] = step[i - 1] + 0.5 * (impulse(t0) + impulse(t1)) * dt;
  }
  const double total = step[points];
  // Tap k of a jump `late` (0 <= late < 1) samples old sits at time (k - kHalfWidth + late)
  // from it, after the jump exactly when k >= kHalfWidth; a row's last point is the limit
  // from its own side.
  for (int k = 0; k < kTaps; k++) {
    const double ideal = k >= kHalfWidth ? 1.0 : 0.0;
    for (int p = 0; p <= kPhases; p++) {
      const int i = (k * kPhases + p) * kSubsteps;
      mResidual[k * (kPhases + 1) + p] = (float)(step[i] / total - ideal);
    }
  }
}

} // namespace od
