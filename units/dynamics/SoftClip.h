#pragma once

#include <od/Object.h>

namespace od {

// Drives the input into one of six saturation curves chosen by "Algo".
class SoftClip : public Object {
public:
  SoftClip();
  ~SoftClip() override;

  void process() OD_NONBLOCKING override;

  Inlet mIn{"In"};
  Outlet mOut{"Out"};
  Inlet mGain{"Gain"};
  Option mAlgo{"Algo", 4};
};

} // namespace od
