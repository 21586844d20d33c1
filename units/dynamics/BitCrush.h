#pragma once

#include <od/Object.h>

namespace od {

// Reduces amplitude resolution ("BitDepth") and effective sample rate ("SR" = samples
// each value is held); a hold runs on across frame edges.
class BitCrush : public Object {
public:
  BitCrush();
  ~BitCrush() override;

  void process() OD_NONBLOCKING override;

  Inlet mIn{"In"};
  Outlet mOut{"Out"};
  Inlet mBitDepth{"BitDepth"};
  Inlet mHoldLength{"SR"};

private:
  float mHeldValue = 0.0f;
  int mHoldCounter = 0;
};

} // namespace od
