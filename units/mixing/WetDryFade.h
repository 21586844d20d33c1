#pragma once

#include <od/Object.h>

// Crossfader: "Out" = A + p (B - A), where the fade position p follows "Fade"
// (clamped to [0, 1]) with a 5 ms one-pole glide. p starts at 1 (all B).
class WetDryFade : public od::Object {
public:
  WetDryFade();
  ~WetDryFade() override;

  void process() OD_NONBLOCKING override;

  od::Inlet mA{"A"};
  od::Inlet mB{"B"};
  od::Inlet mFade{"Fade"};
  od::Outlet mOut{"Out"};

private:
  float mFadePosition = 1.0f;
  float mFadeCoefficient;
};
