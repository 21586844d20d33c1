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
  // Grains rendered together, two a vector.
  static constexpr int kGroup = 2 * kLanes;
  // Renders one host frame of each of `count` grains (at most kGroup), adding them into the
  // outputs one after another in the order given. Grains of one sample walk together.
  static void synthesize(StereoGrain *const *grains, int count, float *left, float *right);

private:
  // A grain during one frame: its envelope, the outputs it fills and its read state in locals.
  struct Voice {
    StereoGrain *grain;
    float *envelope;
    int begin, end;
    Playhead h;
    float leftNewest, leftPrevious, leftOldest, rightNewest, rightPrevious, rightOldest;
  };
  static bool walkTogether(const Voice *voices, int count, int first, int chunk);
  // Outputs from..to of one voice, at most kChunk.
  static void renderAlone(Voice &v, int from, int to, float *left, float *right);
  // Outputs first..first+chunk of every voice, walked as lanes (see walkTogether), two
  // voices a vector in kPairs vectors.
  template <int kPairs> static void renderTogether(Voice *voices, int count, int first, int chunk, float *left, float *right);

  // The last three source values read per channel, newest first; kept from grain to grain.
  float mLeftNewest = 0.0f;
  float mLeftPrevious = 0.0f;
  float mLeftOldest = 0.0f;
  float mRightNewest = 0.0f;
  float mRightPrevious = 0.0f;
  float mRightOldest = 0.0f;
};

} // namespace morpho
