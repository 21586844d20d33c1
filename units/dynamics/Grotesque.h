#pragma once

#include <dsp/HeldResult.h>
#include <od/Object.h>

// Feedback distortion: the band-passed output is fed back through a saturator with a gain
// that can exceed 1, so with high "Gain", "High" and "Low" it screams on its own, seeded by
// a little noise.
class Grotesque : public od::Object {
public:
  Grotesque();
  ~Grotesque() override;

  void process() OD_NONBLOCKING override;

  od::Inlet mIn{"In"};
  od::Inlet mHigh{"High"};
  od::Inlet mLow{"Low"};
  od::Inlet mGain{"Gain"};
  od::Inlet mInput{"Input"};
  od::Outlet mOut{"Out"};

private:
  float mHighPass1 = 0.0f;
  float mHighPass2 = 0.0f;
  float mLowPass1 = 0.0f;
  float mLowPass2 = 0.0f;
  float mLoop = 0.0f;
  float mPreviousShaped = 0.0f;
  float mPreviousOut = 0.0f;
  dsp::HeldResult mLowPassStep;  // of "High"
  dsp::HeldResult mHighPassStep; // of "Low"
};
