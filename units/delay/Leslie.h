#pragma once

#include <od/Object.h>

// Rotary loudspeaker: the driven input is split at 800 Hz into a horn (high) and a drum
// (low) band; each band runs through a short line whose delay, level and left/right pan
// follow its rotor's angle. "Fast" switches both rotors between slow and fast speeds,
// which each rotor reaches with its own inertia.
class Leslie : public od::Object {
public:
  Leslie();
  ~Leslie() override;

  void process() OD_NONBLOCKING override;

  od::Inlet mIn{"In"};
  od::Outlet mOutL{"OutL"};
  od::Outlet mOutR{"OutR"};
  od::Inlet mFast{"Fast"};
  od::Inlet mDepth{"Depth"};
  od::Inlet mDrive{"Drive"};
  od::Inlet mBlend{"Blend"};

  // Rotor speeds in Hz, for tests and displays.
  float hornSpeed() const { return mHornSpeed; }
  float drumSpeed() const { return mDrumSpeed; }

private:
  float *mHornLine = nullptr;
  float *mDrumLine = nullptr;
  int mLineLength;
  int mWriteIndex = 0;
  float mLow = 0.0f;
  float mCrossover;
  float mHornPhase = 0.0f;
  float mDrumPhase = 0.3f;
  float mHornSpeed = 0.8f;
  float mDrumSpeed = 0.66f;
  float mHornSpeedUp;
  float mHornSlowDown;
  float mDrumSpeedUp;
  float mDrumSlowDown;
};
