#pragma once

#include <od/Object.h>

// Thickens a mono input into four slightly detuned copies, each a two-head pitch shifter
// on a common short line, spread across the stereo field; two of them are also delayed
// by up to 10 ms. Left, right and mono outputs are each crossfaded with the dry input.
class Unison : public od::Object {
public:
  Unison();
  ~Unison() override;

  void process() OD_NONBLOCKING override;

  od::Inlet mIn{"In"};
  od::Outlet mOutL{"OutL"};
  od::Outlet mOutR{"OutR"};
  od::Outlet mOutMono{"OutMono"};
  od::Inlet mDetune{"Detune"};
  od::Inlet mBlend{"Blend"};
  od::Inlet mSpread{"Spread"};

  static constexpr int kVoices = 4;

private:
  float *mBuffer = nullptr;
  int mBufferLength;
  int mWriteIndex = 0;
  float mPhases[kVoices] = {0.0f, 0.25f, 0.5f, 0.75f};
  float mWindowLength;
  float mSpreadDelay;
  float mSmoothedDetune = 0.0f;
  float mSmoothedSpread = 0.0f;
  float mDetuneSmoothing;
  float mSpreadSmoothing;
};
