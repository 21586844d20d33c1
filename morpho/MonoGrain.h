#pragma once

#include "Grain.h"

namespace morpho {

// A grain that reads one value per source frame: a mono sample (to one or two outputs) or a
// stereo sample mixed down to the mean of its channels (to one output). Each operation renders
// one host frame and adds into the outputs, which the caller clears.
class MonoGrain : public Grain {
public:
  MonoGrain();
  ~MonoGrain() override;

  void synthesizeFromMonoToMono(float *out);
  void synthesizeFromMonoToStereo(float *left, float *right);
  void synthesizeFromStereo(float *out);

private:
  // Renders one frame, reading source frames with value(p) and adding the four interpolated
  // outputs of each block, already enveloped, with mix(index, values).
  template <typename Value, typename Mix> void synthesize(Value value, Mix mix);

  // The last three source values read, newest first; kept from grain to grain.
  float mNewest = 0.0f;
  float mPrevious = 0.0f;
  float mOldest = 0.0f;
};

} // namespace morpho
