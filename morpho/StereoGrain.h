#pragma once

#include "Grain.h"

namespace morpho {

// A grain that reads both channels of a stereo sample into two outputs.
class StereoGrain : public Grain {
public:
  StereoGrain();
  ~StereoGrain() override;

  // Renders one host frame and adds channel 0 into left, channel 1 into right.
  void synthesize(float *left, float *right) {
    StereoGrain *self = this;
    synthesize(&self, 1, left, right);
  }
  // Renders one host frame of each of `count` grains, adding them into the outputs one after
  // another in the order given. Up to kGroupMost grains of one sample walk together.
  static void synthesize(StereoGrain *const *grains, int count, float *left, float *right);

private:
  // A grain during one frame (see FrameVoice), and its outputs from..to of the chunk walked
  // last, interpolated, before envelope and gain.
  struct Voice : FrameVoice<StereoGrain> {
    float leftNewest, leftPrevious, leftOldest, rightNewest, rightPrevious, rightOldest;
    alignas(16) float left[kChunk];
    alignas(16) float right[kChunk];
    void hold();
    void keep();
  };
  // Renders one frame of the voices.
  static void render(Voice *voices, int count, float *left, float *right);
  // Walks outputs from..to of one voice, at most kChunk, into its outputs from first.
  static void walkAlone(Voice &v, int first);
  // Walks a whole chunk of every voice, the voices side by side, two a vector in kPairs vectors:
  // each sounds through the chunk on a straight stretch, all of one sample.
  template <int kPairs> static void walkTogether(Voice *const *voices, int count, int chunk);

  // The last three source values read per channel, newest first; kept from grain to grain.
  float mLeftNewest = 0.0f;
  float mLeftPrevious = 0.0f;
  float mLeftOldest = 0.0f;
  float mRightNewest = 0.0f;
  float mRightPrevious = 0.0f;
  float mRightOldest = 0.0f;
};

} // namespace morpho
