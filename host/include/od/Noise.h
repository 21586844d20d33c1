#pragma once

#include <od/Object.h>

namespace od {

// White noise: "Out" = Level * a uniform value in [-1, 1] from the host's seedable generator.
class Noise : public Object {
public:
  Noise();
  ~Noise() override;

  void process() OD_NONBLOCKING override;

  Inlet mLevel{"Level"};
  Outlet mOut{"Out"};
};

} // namespace od
