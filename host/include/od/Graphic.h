#pragma once

#include <od/ReferenceCounted.h>

namespace od {

class FrameBuffer;

// A widget on the host's screen: a rectangle given by its bottom-left corner and its
// size in pixels (y grows upwards), painted by draw() whenever the host repaints.
class Graphic : public ReferenceCounted {
public:
  Graphic(int left, int bottom, int width, int height);
  ~Graphic() override;

  virtual void setPosition(int left, int bottom);
  // Resizes; when `notify` is true the widget hears that its contents changed.
  virtual void setSize(int width, int height, bool notify);
  virtual void draw(FrameBuffer &fb);
  virtual void notifyVisible();
  virtual void notifyHidden();
  virtual void notifyContentsChanged();

  int left() const { return mLeft; }
  int bottom() const { return mBottom; }
  int width() const { return mWidth; }
  int height() const { return mHeight; }

protected:
  int mLeft;
  int mBottom;
  int mWidth;
  int mHeight;
};

} // namespace od
