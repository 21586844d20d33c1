#pragma once

#include "MonoGrain.h"
#include "StereoGrain.h"

#include <od/Head.h>

#include <atomic>
#include <cstdint>

namespace morpho {

// Plays a sample as a stream of overlapping grains. The sample is cut into "Splices"; one is
// chosen ("Organize"), a start inside it ("Slide"), and a gene of "Gene Size" seconds is
// played from there again and again, each repetition crossfaded into the next with trapezoid
// ramps set by "Morph". As "Morph" rises, grains an octave and two octaves up join every
// repetition. A rising edge at "Trigger" restarts the train; "Speed" sets the rate of each new
// gene set.
class MorphoHead : public od::Head {
public:
  static constexpr int kPoolSize = 16;

  explicit MorphoHead(int channelCount);
  ~MorphoHead() override;

  void setSample(od::Sample *sample) override;
  void process() OD_NONBLOCKING override;

  void stopAllGrains();
  MonoGrain *getNextFreeMonoGrain();
  StereoGrain *getNextFreeStereoGrain();
  void spawnGeneSet(int delay, float speed, int position, int size, int fade, float morph, int regionStart,
                    int regionLength, bool stereo);
  void renderMonoGrains();
  void renderStereoGrains();

  int channelCount() const { return mChannelCount; }
  int freeMonoCount() const { return mFreeMonoCount; }
  int freeStereoCount() const { return mFreeStereoCount; }
  const MonoGrain &monoGrain(int index) const { return mMonoGrains[index]; }
  const StereoGrain &stereoGrain(int index) const { return mStereoGrains[index]; }
  bool isReady() const { return mReady.load(); }

  od::Outlet mLeftOut{"Left Out"};
  od::Outlet mRightOut{"Right Out"};
  od::Inlet mTrigger{"Trigger"};
  od::Inlet mSpeed{"Speed"};
  od::Parameter mGeneSize{"Gene Size", 0.0f};
  od::Parameter mSlide{"Slide", 0.0f};
  od::Parameter mOrganize{"Organize", 0.0f};
  od::Parameter mMorph{"Morph", 0.0f};
  od::Parameter mGain{"Gain", 1.0f};
  od::Parameter mSquash{"Squash", 1.0f};
  od::Parameter mSplices{"Splices", 8.0f};

private:
  template <typename G> void pushFree(G *grain);

  int mChannelCount;
  StereoGrain mStereoGrains[kPoolSize];
  MonoGrain mMonoGrains[kPoolSize];
  SineWindowTable mSineWindow; // shared by all the grains above
  StereoGrain *mFreeStereo[kPoolSize];
  int mFreeStereoCount = 0;
  MonoGrain *mFreeMono[kPoolSize];
  int mFreeMonoCount = 0;
  StereoGrain *mActiveStereo[kPoolSize];
  MonoGrain *mActiveMono[kPoolSize];
  int mSpawnCountdown = 0;
  bool mTriggerHigh = false;
  bool mAlternate = false;
  uint32_t mRandomState = 0x9E3779B9u;
  std::atomic<bool> mReady{false};
};

} // namespace morpho
