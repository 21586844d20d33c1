#pragma once

// Band-limited steps for oscillators: a jump of height h at a fractional time t is written
// as the naive jump plus h * r(n - t) around it, where r is the difference between a
// band-limited unit step (the running integral of a Kaiser-windowed sinc) and the ideal
// one. r is zero outside +-kHalfWidth samples, so a caller delays its output by kHalfWidth
// samples and adds the residual into the samples around each jump.

namespace od {

class BandLimitedStep {
public:
  static constexpr int kHalfWidth = 16;             // samples either side of a jump
  static constexpr int kTaps = 2 * kHalfWidth;      // samples one jump touches
  static constexpr int kPhases = 256;               // table points per sample of jump time

  // The shared table, built on first use (call it outside the audio path).
  static const BandLimitedStep &table();

  // Residual for tap k (0..kTaps-1) of a jump `late` samples (0..1) before the newest
  // sample: r(k - kHalfWidth + late), interpolated between table points.
  float residual(int tap, float late) const {
    const float position = late * kPhases;
    int index = (int)position;
    if (index >= kPhases) index = kPhases - 1;
    const float fraction = position - (float)index;
    const float *row = mResidual + tap * (kPhases + 1);
    return row[index] + (row[index + 1] - row[index]) * fraction;
  }

private:
  BandLimitedStep();
  float mResidual[kTaps * (kPhases + 1)];
};

} // namespace od
