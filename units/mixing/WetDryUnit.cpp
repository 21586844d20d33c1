#include "WetDryUnit.h"

#include <algorithm>

WetDryUnit::WetDryUnit(const std::string &name, int channelCount) : od::CustomUnit(name, channelCount) {
  const int channels = this->channelCount();
  for (int i = 0; i < channels; i++) {
    od::Monitor *monitor = new od::Monitor();
    monitor->attach();
    addInput(i, monitor, "In");
    mDryMonitors.push_back(monitor);
  }
  for (int i = 0; i < channels; i++) {
    od::Monitor *monitor = new od::Monitor();
    monitor->attach();
    mWetMonitors.push_back(monitor);
  }
  for (int i = 0; i < channels; i++) {
    WetDryFade *fader = new WetDryFade();
    fader->attach();
    fader->mA.connect(&mDryMonitors[i]->mOut);
    fader->mB.connect(&mWetMonitors[i]->mOut);
    setOutput(i, fader, "Out");
    mFaders.push_back(fader);
  }
  connectUnits();
}

WetDryUnit::~WetDryUnit() {
  for (od::Unit *unit : mUnits) unit->disconnect();
  for (od::Monitor *monitor : mWetMonitors) monitor->mIn.disconnect();
  for (WetDryFade *fader : mFaders) fader->release();
  for (od::Monitor *monitor : mDryMonitors) monitor->release();
  for (od::Monitor *monitor : mWetMonitors) monitor->release();
}

WetDryFade *WetDryUnit::getFader(int index) {
  return index >= 0 && index < (int)mFaders.size() ? mFaders[index] : nullptr;
}

void WetDryUnit::connectUnits() {
  const int dryCount = (int)mDryMonitors.size();
  const int wetCount = (int)mWetMonitors.size();
  od::Unit *last = nullptr;
  for (od::Unit *unit : mUnits) {
    if (!last) {
      const int count = std::min(unit->getInputCount(), dryCount);
      for (int i = 0; i < count; i++)
        for (od::Inlet *inlet : unit->getInputs(i)) inlet->connect(&mDryMonitors[i]->mOut);
    } else {
      od::Unit::connect(last, unit);
    }
    // A bypassed unit is wired from its predecessor but feeds neither the next unit nor the wet side.
    if (!unit->isBypassed()) last = unit;
  }
  if (last) {
    const int count = std::min(last->getOutputCount(), wetCount);
    for (int i = 0; i < count; i++)
      if (od::Outlet *outlet = last->getOutput(i)) mWetMonitors[i]->mIn.connect(outlet);
  } else {
    const int count = std::min(wetCount, dryCount);
    for (int i = 0; i < count; i++) mWetMonitors[i]->mIn.connect(&mDryMonitors[i]->mOut);
  }
}

void WetDryUnit::collectObjects(std::vector<od::Object *> &objects) const {
  od::CustomUnit::collectObjects(objects);
  objects.insert(objects.end(), mDryMonitors.begin(), mDryMonitors.end());
  objects.insert(objects.end(), mWetMonitors.begin(), mWetMonitors.end());
  objects.insert(objects.end(), mFaders.begin(), mFaders.end());
}

void WetDryUnit::disconnectUnits() {
  for (od::Unit *unit : mUnits) unit->disconnect();
  for (od::Monitor *monitor : mWetMonitors) monitor->mIn.disconnect();
}

void WetDryUnit::process() {
  mMutex.enterFrame();
  if (isEnabled()) od::Unit::process();
  for (od::Monitor *monitor : mDryMonitors) monitor->process();
  for (od::Unit *unit : mUnits)
    if (unit->isEnabled()) unit->process();
  for (od::Monitor *monitor : mWetMonitors) monitor->process();
  for (WetDryFade *fader : mFaders) {
    fader->updateParameters();
    fader->process();
  }
  mMutex.leaveFrame();
}
