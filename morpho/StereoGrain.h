#pragma once

#include "Grain.h"

namespace morpho {

// A grain that reads both channels of a stereo sample into two outputs.
class StereoGrain : public Grain {
public:
  StereoGrain();
  ~StereoGrain() override;

  // Renders one host frame and adds channel 0 into left, channel 1 into right.
  void synthesize(float *left, float *right);

private:
  // The last three source values read per channel, newest first; kept from grain to grain.
  float mLeftNewest = 0.0f;
  float mLeftPrevious = 0.0f;
  float mLeftOldest = 0.0f;
  float mRightNewest = 0.0f;
  float mRightPrevious = 0.0f;
  float mRightOldest = 0.0f;
};

} // namespace morpho
