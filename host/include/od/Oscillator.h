#pragma once

#include <od/Object.h>

namespace od {

class BandLimitedStep;

// An audio oscillator. "Frequency" (Hz, 0 to half the sample rate; NaN reads 0), "Level"
// (scales the output), "Width" (the pulse's high share of a cycle, 0..1; NaN reads 0),
// "Sync" (a rising edge through 0.5 restarts the cycle); option "Shape": 0 sine,
// 1 triangle, 2 saw, 3 square, 4 pulse. Saw, square and pulse, and the jumps a sync
// makes in any shape, are band-limited steps, so they alias far less than the naive
// waveforms; the output runs kLatency samples behind the controls.
class Oscillator : public Object {
public:
  enum Shape { kSine = 0, kTriangle = 1, kSaw = 2, kSquare = 3, kPulse = 4 };
  static constexpr int kLatency = 16; // samples

  Oscillator();
  ~Oscillator() override;

  void process() override;

  Inlet mFrequency{"Frequency"};
  Inlet mLevel{"Level"};
  Inlet mWidth{"Width"};
  Inlet mSync{"Sync"};
  Outlet mOut{"Out"};
  Option mShape{"Shape", kSine};

private:
  static constexpr int kRingSize = 64; // a power of two above 2 * kLatency
  static constexpr int kRingMask = kRingSize - 1;

  void addJump(float height, float late);

  const BandLimitedStep &mStep;
  float mRing[kRingSize] = {}; // naive samples plus step residuals, by sample time
  unsigned mTime = 0;          // sample counter, indexes mRing
  double mPhase = 0.0;         // in cycles, [0, 1)
  bool mSyncHigh = false;
};

} // namespace od
