#pragma once

#include <od/Object.h>
#include <od/SmoothingRate.h>

namespace od {

// A peak envelope follower: "Out" moves toward |In| with the "Attack" time constant while
// |In| is above it and with the "Release" time constant otherwise (seconds, 0..60: 0
// follows at once; NaN reads 0). It is the detector level a side chain expects.
class Follower : public Object {
public:
  static constexpr float kLongest = 60.0f; // seconds

  Follower();
  ~Follower() override;

  void process() override;

  Inlet mIn{"In"};
  Inlet mAttack{"Attack"};
  Inlet mRelease{"Release"};
  Outlet mOut{"Out"};

private:
  float mEnvelope = 0.0f;
  SmoothingRate mRise, mFall;
};

} // namespace od
