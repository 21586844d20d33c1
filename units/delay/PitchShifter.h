#pragma once

#include <od/Object.h>

// Transposes a mono input with up to three voices. Each voice is a pair of heads sweeping
// 40 ms of a shared line half a cycle apart under a triangular crossfade; when a head
// wraps, a waveform-matching search picks the extra delay (up to 40 ms) at which it
// continues the other head's waveform in value, slope and curvature.
class PitchShifter : public od::Object {
public:
  PitchShifter();
  ~PitchShifter() override;

  void process() OD_NONBLOCKING override;

  // 1 when n <= 0, else min(n, 3); restarts every voice's heads and speed, not the line.
  void setVoiceCount(int n);
  int getVoiceCount() const;

  // The splice search on a line of len samples written up to writeIndex - 1, with a window
  // of windowLength samples and offsets up to maxLag: what the unit runs when a head wraps.
  static float searchSpliceIn(const float *line, int len, int writeIndex, float windowLength, int maxLag, float phaseX,
                              float offsetY, float phaseY);

  od::Inlet mIn{"In"};
  od::Outlet mOut{"Out"};
  od::Inlet mBlend{"Blend"};
  od::Inlet mSpeed1{"Speed1"};
  od::Inlet mSpeed2{"Speed2"};
  od::Inlet mSpeed3{"Speed3"};

  static constexpr int kMaxVoices = 3;

private:
  // Voice state, one lane per voice (the fourth lane is unused): the two heads' phases and
  // splice offsets and the smoothed speed.
  struct Voices {
    float phaseA[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float phaseB[4] = {0.5f, 0.5f, 0.5f, 0.5f};
    float offsetA[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float offsetB[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float speed[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  };

  // The splice offset of a head that wrapped to phaseX, matched against the other head.
  float searchSplice(float phaseX, float offsetY, float phaseY) const;

  int mVoiceCount = 1;
  float mVoiceGain = 1.0f;
  int mMaxLag;
  int mLineLength;
  float *mLine = nullptr;
  int mWriteIndex = 0;
  int mFilled = 0;
  float mWindowLength;
  float mSmoothing;
  Voices mVoices;
};
