// Widgets and the screen they draw on.

%{
#include <od/FrameBuffer.h>
#include <od/Graphic.h>
%}

// A frame buffer is a plain Lua-owned value; its sizes are checked before it is made.
%exception od::FrameBuffer::FrameBuffer {
  if (arg1 < 1 || arg1 > od::FrameBuffer::kMaxSide || arg2 < 1 || arg2 > od::FrameBuffer::kMaxSide) {
    lua_pushfstring(L, "od.FrameBuffer: size %d x %d is outside 1..%d", arg1, arg2, od::FrameBuffer::kMaxSide);
    SWIG_fail;
  }
  QVZ_GUARDED_ACTION
}

// A picture that cannot be written is a Lua error naming the file.
%exception od::FrameBuffer::savePNG {
  QVZ_GUARDED_ACTION
  if (!result) {
    lua_pushfstring(L, "savePNG: cannot write '%s'", arg2->c_str());
    SWIG_fail;
  }
}

namespace od {

class FrameBuffer {
public:
  FrameBuffer(int width, int height, bool monochrome);
  virtual ~FrameBuffer();
  virtual void pixel(int color, int x, int y);
  virtual void hline(int color, int x0, int x1, int y, int mode);
  int get(int x, int y) const;
  void clear();
  int width() const;
  int height() const;
  bool savePNG(const std::string &path, int scale = 1) const;
  bool monochrome;
};

class Graphic : public ReferenceCounted {
public:
  virtual void setPosition(int left, int bottom);
  virtual void setSize(int width, int height, bool notify);
  virtual void draw(FrameBuffer &fb);
  int left() const;
  int bottom() const;
  int width() const;
  int height() const;
protected:
  Graphic(int left, int bottom, int width, int height);
  virtual ~Graphic();
};

} // namespace od
