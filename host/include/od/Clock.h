#pragma once

#include <od/Object.h>

namespace od {

// Pulse train for triggers: "Out" is 1 for "Width" seconds (at least one sample) at the
// start of every beat, else 0. The rate is "BPM" beats per minute, or "Hz" when that is
// above 0. The first pulse starts at the first sample; a rate that is not positive stops it.
class Clock : public Object {
public:
  Clock();
  ~Clock() override;

  void process() OD_NONBLOCKING override;

  Outlet mOut{"Out"};
  Parameter mBPM{"BPM", 120.0f};
  Parameter mWidth{"Width", 0.005f};
  Parameter mHz{"Hz", 0.0f};

private:
  double mPosition = 0.0; // samples since the current beat began
};

} // namespace od
