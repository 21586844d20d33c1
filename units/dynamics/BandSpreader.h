#pragma once

#include <od/Object.h>

// Stereo spreader by frequency: the mono sum is split into six bands (corners 120, 350,
// 1000, 2800, 8000 Hz) that add back to the sum, each with its own constant-power pan
// and level.
class BandSpreader : public od::Object {
public:
  static constexpr int kBands = 6;
  static constexpr int kCorners = kBands - 1;

  BandSpreader();
  ~BandSpreader() override;

  void process() OD_NONBLOCKING override;

  od::Inlet mInL{"InL"};
  od::Inlet mInR{"InR"};
  od::Outlet mOutL{"OutL"};
  od::Outlet mOutR{"OutR"};
  od::Inlet mPan[kBands]{od::Inlet{"Pan1"}, od::Inlet{"Pan2"}, od::Inlet{"Pan3"},
                           od::Inlet{"Pan4"}, od::Inlet{"Pan5"}, od::Inlet{"Pan6"}};
  od::Inlet mLevel[kBands]{od::Inlet{"Level1"}, od::Inlet{"Level2"}, od::Inlet{"Level3"},
                             od::Inlet{"Level4"}, od::Inlet{"Level5"}, od::Inlet{"Level6"}};

private:
  float mLowPass[kCorners] = {};
  float mLowPassStep[kCorners] = {};
  float mLeftGain[kBands];
  float mRightGain[kBands];
  float mGainStep = 0.0f;
};
