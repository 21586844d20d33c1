#pragma once

#include <od/FrameBuffer.h>
#include <od/Graphic.h>

// A fixed 84 x 64 grey-level picture of a cat, centred in the widget's rectangle (cropped,
// never scaled, when the widget is smaller). On a monochrome screen it is dithered.
class CatPhoto : public od::Graphic {
public:
  CatPhoto(int left, int bottom, int width, int height);
  ~CatPhoto() override;

  void draw(od::FrameBuffer &fb) override;
};
