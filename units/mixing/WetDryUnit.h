#pragma once

#include "WetDryFade.h"

#include <od/CustomUnit.h>
#include <od/Monitor.h>

#include <string>
#include <vector>

// A custom unit of N channels that runs its chain of contained units on the inputs and
// mixes, per channel, the dry input with the chain's output through a WetDryFade
// ("A" = dry, "B" = wet); fader i's "Out" is output i.
class WetDryUnit : public od::CustomUnit {
public:
  WetDryUnit(const std::string &name, int channelCount);
  ~WetDryUnit() override;

  void process() OD_NONBLOCKING override;
  void connectUnits() override;
  void disconnectUnits() override;
  void collectObjects(std::vector<od::Object *> &objects) const override;

  // The fader of a channel, or null outside 0..channels - 1.
  WetDryFade *getFader(int index);

private:
  std::vector<od::Monitor *> mDryMonitors; // input i; feeds fader i's "A" and the chain
  std::vector<od::Monitor *> mWetMonitors; // fed by the chain's last unit; feeds fader i's "B"
  std::vector<WetDryFade *> mFaders;       // fader i's "Out" is output i
};
