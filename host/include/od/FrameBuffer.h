#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace od {

// A screen of grey levels 0 (dark) to 15 (brightest), with y growing upwards from the
// bottom row 0. A monochrome buffer is a one-colour screen: every pixel is off or at 15.
// Drawing outside the buffer is clipped.
class FrameBuffer {
public:
  static constexpr int kMaxLevel = 15;
  static constexpr int kMaxSide = 4096;

  // Sizes are limited to 0..kMaxSide.
  FrameBuffer(int width, int height, bool monochrome);
  FrameBuffer(const FrameBuffer &) = delete;
  FrameBuffer &operator=(const FrameBuffer &) = delete;
  virtual ~FrameBuffer();

  // Sets one pixel to a grey level (limited to 0..15).
  virtual void pixel(int color, int x, int y);
  // Draws the pixels x0 to x1 inclusive of row y. Mode 0 replaces them; mode 1 keeps
  // the brighter of the old and the new level.
  virtual void hline(int color, int x0, int x1, int y, int mode);

  // The grey level at (x, y); 0 outside the buffer.
  int get(int x, int y) const;
  void clear();
  int width() const { return mWidth; }
  int height() const { return mHeight; }

  // Writes an 8-bit grey PNG, top row first, each pixel as a scale x scale block
  // (scale limited to 1..16). Returns false when the file cannot be written.
  bool savePNG(const std::string &path, int scale = 1) const;
  // The same PNG into an open file (left open).
  bool writePNG(std::FILE *file, int scale = 1) const;

  bool monochrome;

private:
  void put(int color, int x, int y, int mode);

  int mWidth;
  int mHeight;
  std::vector<unsigned char> mLevels; // row y at y * width
};

} // namespace od
