#pragma once

#include <od/Object.h>

// Feed-forward gain computer: the detector level at "SCIn", a threshold and a ratio give a
// gain, smoothed with a 1 ms time constant, that multiplies "In".
class CompressorObject : public od::Object {
public:
  CompressorObject();
  ~CompressorObject() override;

  void process() OD_NONBLOCKING override;

  od::Inlet mIn{"In"};
  od::Outlet mOut{"Out"};
  od::Inlet mSideChain{"SCIn"};
  od::Inlet mThreshold{"Threshold"};
  od::Inlet mRatio{"Ratio"};

private:
  float mGain = 1.0f;
  float mSmoothing = 0.0f;
};
