#pragma once

#include <od/Object.h>

namespace od {

// A voltage-controlled amplifier: "Out" = In * Gain, per sample (Gain reads 1 until set).
class Gain : public Object {
public:
  Gain();
  ~Gain() override;

  void process() override;

  Inlet mIn{"In"};
  Inlet mGain{"Gain"};
  Outlet mOut{"Out"};
};

} // namespace od
