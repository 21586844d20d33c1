#pragma once

#include <od/Object.h>

// Stereo feedback comb filter tuned by frequency: each channel adds its own output delayed
// by one period of "f0", scaled by "Q". "Type" NEG (3) inverts the feedback, so the comb
// resonates at the odd harmonics of half of "f0"; any other value keeps it positive.
class Comb : public od::Object {
public:
  Comb();
  ~Comb() override;

  void process() OD_NONBLOCKING override;

  static constexpr int kNegative = 3;

  int lineLength() const { return mLineLength; }
  float lowestFrequency() const { return mLowestFrequency; }
  bool hasLines() const { return mLeftLine != nullptr; }

  od::Inlet mIn{"In"};
  od::Inlet mInR{"InR"};
  od::Outlet mOut{"Out"};
  od::Outlet mOutR{"OutR"};
  od::Inlet mF0{"f0"};
  od::Inlet mQ{"Q"};
  od::Option mType{"Type", 1};

private:
  float *mLeftLine = nullptr;
  float *mRightLine = nullptr;
  int mLineLength = 0;
  int mWriteIndex = 0;
  float mLowestFrequency = 0.0f;
};
