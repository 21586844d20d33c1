#pragma once

#include <od/Object.h>

namespace od {

// A pass-through object: "Out" repeats "In" sample for sample. Units use it as a
// fixed junction that many inlets can follow.
class Monitor : public Object {
public:
  Monitor();
  ~Monitor() override;

  void process() OD_NONBLOCKING override;

  Inlet mIn{"In"};
  Outlet mOut{"Out"};
};

} // namespace od
