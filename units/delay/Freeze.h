#pragma once

#include <od/Object.h>

// Records the input into a one-second circular buffer; while "Freeze" is high it stops
// recording and loops the last "Size" seconds before the moment of freezing through two
// crossfading heads, faded in over the dry signal. When "Freeze" falls, recording resumes
// and the loop fades out.
class Freeze : public od::Object {
public:
  Freeze();
  ~Freeze() override;

  void process() OD_NONBLOCKING override;

  od::Inlet mIn{"In"};
  od::Outlet mOut{"Out"};
  od::Inlet mFreeze{"Freeze"};
  od::Inlet mSize{"Size"};

private:
  float *mBuffer = nullptr;
  int mBufferLength = 0;
  int mWriteIndex = 0;
  bool mFrozen = false;
  int mFreezePoint = 0;
  float mPhase = 0.0f;
  float mWetGain = 0.0f;
  float mGainSmoothing;
};
