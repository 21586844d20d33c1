// Wet/dry mixing: the fader alone, and the two-channel unit that mixes a (here empty) chain
// back into its inputs.

#include "BenchRegistry.h"

#include "units/mixing/WetDryFade.h"
#include "units/mixing/WetDryUnit.h"

#include <cstring>

namespace qvzbench {
namespace {

// An object that holds a WetDryUnit so the unit's inputs and its faders' "Fade" can be fed
// like any object's inlets: each frame copies them across (128 floats each) and runs the unit.
class WetDryUnitRig : public od::Object {
public:
  WetDryUnitRig() : mUnit(new WetDryUnit("bench", 2)) {
    mUnit->attach();
    addInput(mInL);
    addInput(mInR);
    addInput(mFade);
    mUnit->connectInput(0, &mFeedL);
    mUnit->connectInput(1, &mFeedR);
    for (int i = 0; i < 2; i++) mUnit->getFader(i)->mFade.connect(&mFeedFade);
  }
  ~WetDryUnitRig() override {
    mUnit->disconnect();
    for (int i = 0; i < 2; i++) mUnit->getFader(i)->mFade.disconnect();
    mUnit->release();
  }
  void process() override {
    std::memcpy(mFeedL.buffer(), mInL.buffer(), sizeof(float) * globalConfig.frameLength);
    std::memcpy(mFeedR.buffer(), mInR.buffer(), sizeof(float) * globalConfig.frameLength);
    std::memcpy(mFeedFade.buffer(), mFade.buffer(), sizeof(float) * globalConfig.frameLength);
    mUnit->process();
  }

private:
  WetDryUnit *mUnit;
  od::Inlet mInL{"InL"}, mInR{"InR"}, mFade{"Fade"};
  od::Outlet mFeedL{"feed L"}, mFeedR{"feed R"}, mFeedFade{"feed fade"};
};

RegisterBench wetDryFade({"WetDryFade", [] { return new WetDryFade(); }, 1,
                          {{"A", audio()}, {"B", audio()}, {"Fade", lfo(0.5f, 0.4f, 0.2f)}}, nullptr});

RegisterBench wetDryUnit({"WetDryUnit", [] { return new WetDryUnitRig(); }, 2,
                          {{"InL", audio()}, {"InR", audio()}, {"Fade", lfo(0.5f, 0.4f, 0.2f)}}, nullptr});

} // namespace
} // namespace qvzbench
