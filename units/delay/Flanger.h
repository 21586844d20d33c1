#pragma once

#include <od/Object.h>

// Stereo flanger: both channels run through short lines whose delay one sine-shaped LFO
// sweeps from 0.5 ms up to 0.5 ms + 7.5 ms x depth, with feedback; the delayed signal is
// summed with the dry one at 0.7071 and crossfaded with the dry input.
class Flanger : public od::Object {
public:
  Flanger();
  ~Flanger() override;

  void process() OD_NONBLOCKING override;

  od::Inlet mIn{"In"};
  od::Inlet mInR{"InR"};
  od::Outlet mOut{"Out"};
  od::Outlet mOutR{"OutR"};
  od::Inlet mRate{"Rate"};
  od::Inlet mDepth{"Depth"};
  od::Inlet mFeedback{"Feedback"};
  od::Inlet mBlend{"Blend"};

private:
  float *mLeft = nullptr;
  float *mRight = nullptr;
  int mLineLength;
  int mWriteIndex = 0;
  float mPhase = 0.0f;
  float mDelay;
  float mDelaySmoothing;
};
