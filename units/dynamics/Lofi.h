#pragma once

#include <dsp/HeldResult.h>
#include <od/Object.h>

// Worn-tape imitation: a fixed 6:1 compressor, a soft saturator, and a short delay line read
// by a fixed 2.8 ms tap and a tap swung by a slow oscillator (wow and flutter); "Blend"
// crossfades from the fixed tap to the darkened, modulated one.
class Lofi : public od::Object {
public:
  Lofi();
  ~Lofi() override;

  void process() OD_NONBLOCKING override;

  od::Inlet mIn{"In"};
  od::Inlet mDepth{"Depth"};
  od::Inlet mSpeed{"Speed"};
  od::Inlet mBlend{"Blend"};
  od::Outlet mOut{"Out"};
  od::Option mWaveform{"Waveform", 5};

private:
  float *mLine = nullptr;
  int mLineLength = 0;
  int mWriteIndex = 0;
  float mPhase = 0.0f;
  float mOscillator = -1.0f;
  float mRingPhase = 0.0f;
  float mRingAmplitude = 0.0f;
  float mSquare = -1.0f;
  float mTriangle = -1.0f;
  int mPreviousWaveform = 5;
  float mEnvelope = 0.0f;
  float mGain = 1.0f;
  float mAttackStep = 0.0f;
  float mReleaseStep = 0.0f;
  float mGainStep = 0.0f;
  float mWetLowPass = 0.0f;
  dsp::HeldResult mRate; // exp(ln(100/3) x speed), while "Speed" holds still
};
