#include <od/Graphic.h>

namespace od {

Graphic::Graphic(int left, int bottom, int width, int height)
    : mLeft(left), mBottom(bottom), mWidth(width), mHeight(height) {}

Graphic::~Graphic() = default;

void Graphic::setPosition(int left, int bottom) {
  mLeft = left;
  mBottom = bottom;
}

void Graphic::setSize(int width, int height, bool notify) {
  mWidth = width;
  mHeight = height;
  if (notify) notifyContentsChanged();
}

void Graphic::draw(FrameBuffer &) {}
void Graphic::notifyVisible() {}
void Graphic::notifyHidden() {}
void Graphic::notifyContentsChanged() {}

} // namespace od
