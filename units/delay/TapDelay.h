#pragma once

#include <od/Object.h>

// Four taps at whole multiples of one delay time, each read by its own two-head pitch
// shifter; tap 4 feeds back into the line through a soft saturator. "Out" crossfades the
// level-weighted tap mix with the dry input.
class TapDelay : public od::Object {
public:
  TapDelay();
  ~TapDelay() override;

  void process() OD_NONBLOCKING override;

  static constexpr int kTaps = 4;

  od::Inlet mIn{"In"};
  od::Outlet mOut{"Out"};
  od::Outlet mTap1{"Tap1"};
  od::Outlet mTap2{"Tap2"};
  od::Outlet mTap3{"Tap3"};
  od::Outlet mTap4{"Tap4"};
  od::Inlet mTime{"Time"};
  od::Inlet mFeedback{"Feedback"};
  od::Inlet mReverse{"Reverse"};
  od::Inlet mBlend{"Blend"};
  od::Inlet mPitch1{"Pitch1"};
  od::Inlet mPitch2{"Pitch2"};
  od::Inlet mPitch3{"Pitch3"};
  od::Inlet mPitch4{"Pitch4"};
  od::Inlet mLevel1{"Level1"};
  od::Inlet mLevel2{"Level2"};
  od::Inlet mLevel3{"Level3"};
  od::Inlet mLevel4{"Level4"};

  // Samples in the delay line (4 taps at 0.5 s, one window, 8 samples of margin).
  int bufferLength() const { return mBufferLength; }
  bool hasBuffer() const { return mBuffer != nullptr; }

private:
  float *mBuffer = nullptr;
  int mBufferLength = 0;
  int mWriteIndex = 0;
  float mTapPhase[kTaps] = {0.0f, 0.25f, 0.5f, 0.75f};
  float mTapRatio[kTaps] = {1.0f, 1.0f, 1.0f, 1.0f};
  float mSmoothedDelay = 0.0f;
  float mWindowLength = 0.0f;
  float mTimeSmoothing = 0.0f;
  float mPitchSmoothing = 0.0f;
};

// Mixes four stereo taps with a level and a balance pan each, crossfaded with a stereo dry
// signal. Keeps no state.
class TapDelayStereoMixer : public od::Object {
public:
  TapDelayStereoMixer();
  ~TapDelayStereoMixer() override;

  void process() OD_NONBLOCKING override;

  od::Inlet mDryL{"DryL"};
  od::Inlet mDryR{"DryR"};
  od::Inlet mTap1L{"Tap1L"};
  od::Inlet mTap1R{"Tap1R"};
  od::Inlet mTap2L{"Tap2L"};
  od::Inlet mTap2R{"Tap2R"};
  od::Inlet mTap3L{"Tap3L"};
  od::Inlet mTap3R{"Tap3R"};
  od::Inlet mTap4L{"Tap4L"};
  od::Inlet mTap4R{"Tap4R"};
  od::Inlet mLevel1{"Level1"};
  od::Inlet mLevel2{"Level2"};
  od::Inlet mLevel3{"Level3"};
  od::Inlet mLevel4{"Level4"};
  od::Inlet mPan1{"Pan1"};
  od::Inlet mPan2{"Pan2"};
  od::Inlet mPan3{"Pan3"};
  od::Inlet mPan4{"Pan4"};
  od::Inlet mBlend{"Blend"};
  od::Outlet mOutL{"OutL"};
  od::Outlet mOutR{"OutR"};
};
