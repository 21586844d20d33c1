#pragma once

#include <od/Object.h>

// Harmonic exciter: the content above about 2 kHz is shaped by the curve "Mode" selects,
// freed of DC, and added to the input in the amount "AxMix".
class Exciter : public od::Object {
public:
  Exciter();
  ~Exciter() override;

  void process() OD_NONBLOCKING override;

  od::Inlet mIn{"In"};
  od::Outlet mOut{"Out"};
  od::Inlet mAmount{"AxMix"};
  od::Option mMode{"Mode", 4};

private:
  float mSideBandLowPass = 0.0f;
  float mDcLowPass = 0.0f;
  float mSideBandStep = 0.0f;
  float mDcStep = 0.0f;
};
