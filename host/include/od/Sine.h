#pragma once

#include <od/Object.h>

namespace od {

// Sine oscillator: "Out" = Level * sin(2 pi phase), the phase advancing by
// Frequency / sampleRate each sample (both inlets may be driven per sample).
class Sine : public Object {
public:
  Sine();
  ~Sine() override;

  void process() OD_NONBLOCKING override;

  Inlet mFrequency{"Frequency"};
  Inlet mLevel{"Level"};
  Outlet mOut{"Out"};

private:
  double mPhase = 0.0; // in cycles, kept in [0, 1)
};

} // namespace od
