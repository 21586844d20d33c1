#pragma once

#include <od/Object.h>

// Fuzz: up to 100x gain, a bias for asymmetric clipping, one of three curves ("Shape"),
// a DC blocker near 38 Hz and a one-pole low-pass from 250 Hz to 12 kHz ("Tone").
class FuzzBox : public od::Object {
public:
  FuzzBox();
  ~FuzzBox() override;

  void process() OD_NONBLOCKING override;

  od::Inlet mIn{"In"};
  od::Inlet mDrive{"Drive"};
  od::Inlet mGrit{"Grit"};
  od::Inlet mTone{"Tone"};
  od::Outlet mOut{"Out"};
  od::Parameter mShape{"Shape", 1.0f};

private:
  float mLowPass = 0.0f;
  float mPreviousShaped = 0.0f;
  float mBlockerOut = 0.0f;
  float mBlockerPole = 0.995f;
};
