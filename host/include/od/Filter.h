#pragma once

#include <od/Object.h>

namespace od {

// A state-variable filter, 12 dB per octave. "In", "Cutoff" (Hz, 10 Hz to 0.49 x the
// sample rate, read per sample; NaN reads the top), "Resonance" (0..1: 0 is a maximally
// flat response, -3 dB at the cutoff; 1 a peak of about 34 dB; NaN reads 0); option
// "Mode": 0 low-pass, 1 high-pass, 2 band-pass (peak gain 1), 3 notch. Built from two
// trapezoidal integrators whose states carry the signal's energy, so it stays stable and
// free of clicks while the cutoff moves at audio rate.
class Filter : public Object {
public:
  enum Mode { kLowPass = 0, kHighPass = 1, kBandPass = 2, kNotch = 3 };
  static constexpr float kLowestCutoff = 10.0f;  // Hz
  static constexpr float kHighestCutoff = 0.49f; // of the sample rate

  Filter();
  ~Filter() override;

  void process() override;

  Inlet mIn{"In"};
  Inlet mCutoff{"Cutoff"};
  Inlet mResonance{"Resonance"};
  Outlet mOut{"Out"};
  Option mMode{"Mode", kLowPass};

private:
  float mBand = 0.0f; // the integrators' states
  float mLow = 0.0f;
};

} // namespace od
