// WetDryUnit is a custom unit, not an object with ports of its own, so the shared sweeps
// reach it through a small object that plays the host's part: its inlets feed the unit's
// inputs and its faders' "Fade", its outlets carry the unit's outputs. The chain holds a
// SoftClip per channel, so dry and wet sides differ.

#include "units/dynamics/SoftClip.h"
#include "units/mixing/WetDryUnit.h"

#include "support/UnitRegistry.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kChannels = 2;

class WetDryUnitHost : public od::Object {
public:
  WetDryUnitHost() : mUnit(new WetDryUnit("robust", kChannels)) {
    mUnit->attach();
    od::Unit *chain = new od::Unit("clip", kChannels);
    for (int i = 0; i < kChannels; i++) {
      od::SoftClip *clip = new od::SoftClip();
      chain->addObject(clip);
      chain->addInput(i, clip, "In");
      chain->setOutput(i, clip, "Out");
    }
    mUnit->addUnit(chain);
    for (int i = 0; i < kChannels; i++) {
      const std::string n = std::to_string(i + 1);
      mInlets.push_back(std::make_unique<od::Inlet>("In" + n));
      mFadeInlets.push_back(std::make_unique<od::Inlet>("Fade" + n));
      mOutlets.push_back(std::make_unique<od::Outlet>("Out" + n));
      mInFeeds.push_back(std::make_unique<od::Outlet>("feed"));
      mFadeFeeds.push_back(std::make_unique<od::Outlet>("feed"));
    }
    for (int i = 0; i < kChannels; i++) {
      addInput(*mInlets[i]);
      addInput(*mFadeInlets[i]);
      addOutput(*mOutlets[i]);
      mUnit->connectInput(i, mInFeeds[i].get());
      mUnit->getFader(i)->mFade.connect(mFadeFeeds[i].get());
    }
  }

  ~WetDryUnitHost() override {
    for (int i = 0; i < kChannels; i++) mUnit->getFader(i)->mFade.disconnect();
    mUnit->connectInput(0, nullptr);
    mUnit->connectInput(1, nullptr);
    mUnit->release();
  }

  void process() override {
    const size_t bytes = sizeof(float) * (size_t)globalConfig.frameLength;
    for (int i = 0; i < kChannels; i++) {
      std::memcpy(mInFeeds[i]->buffer(), mInlets[i]->buffer(), bytes);
      std::memcpy(mFadeFeeds[i]->buffer(), mFadeInlets[i]->buffer(), bytes);
    }
    mUnit->process();
    for (int i = 0; i < kChannels; i++) std::memcpy(mOutlets[i]->buffer(), mUnit->getOutput(i)->buffer(), bytes);
  }

private:
  WetDryUnit *mUnit;
  std::vector<std::unique_ptr<od::Inlet>> mInlets, mFadeInlets;
  std::vector<std::unique_ptr<od::Outlet>> mOutlets, mInFeeds, mFadeFeeds;
};

} // namespace

QVZ_REGISTER_UNIT("WetDryUnit", [] { return new WetDryUnitHost(); });
