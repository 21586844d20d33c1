#pragma once

#include <od/Object.h>
#include <od/Sample.h>

namespace od {

// Plays an od::Sample from its start at the sample's own rate (linear interpolation where the
// rates differ), looping when "Loop" is 1. A mono sample feeds both outlets; of more channels,
// the first two play. Without a sample, or after a single play ends, the outlets are silent.
class Player : public Object {
public:
  Player();
  ~Player() override;

  void process() OD_NONBLOCKING override;

  // Installs a sample (null removes it) and starts it from the beginning.
  void setSample(Sample *sample);
  Sample *getSample() const { return mSample; }

  Outlet mLeftOut{"Left Out"};
  Outlet mRightOut{"Right Out"};
  Option mLoop{"Loop", 1};

private:
  Sample *mSample = nullptr;
  double mPosition = 0.0; // in source frames
};

} // namespace od
