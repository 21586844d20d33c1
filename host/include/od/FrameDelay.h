#pragma once

#include <od/Object.h>

#include <vector>

namespace od {

// "Out" is "In" one frame later: the one object a feedback loop may pass through. A graph
// runs it in two halves: emit() before every other object (the frame it kept), latch()
// after all of them (this frame's input); its own inlet does not order it, so a loop
// through it has a start. Run on its own, process() does both.
class FrameDelay : public Object {
public:
  FrameDelay();
  ~FrameDelay() override;

  void process() override;
  void emit();
  void latch();

  Inlet mIn{"In"};
  Outlet mOut{"Out"};

private:
  std::vector<float> mKept; // the last frame of "In"
};

} // namespace od
