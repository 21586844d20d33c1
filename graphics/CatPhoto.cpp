#include "CatPhoto.h"

#include "CatPhotoPixels.h"

#include <algorithm>

namespace {
// Standard 4 x 4 Bayer thresholds 0..15, indexed by (row % 4) * 4 + column % 4.
constexpr unsigned char kBayer4x4[16] = {0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};
constexpr int kLit = 15;         // the one colour of a monochrome screen
constexpr int kReplaceMode = 0;  // hline mode that sets the pixels
} // namespace

CatPhoto::CatPhoto(int left, int bottom, int width, int height) : od::Graphic(left, bottom, width, height) {}

CatPhoto::~CatPhoto() = default;

void CatPhoto::draw(od::FrameBuffer &fb) {
  const int cols = std::min(mWidth, kPhotoWidth);
  const int rows = std::min(mHeight, kPhotoHeight);
  if (rows < 1) return;
  const int x0 = mLeft + (mWidth - cols) / 2;
  const int top = mBottom + (mHeight + rows) / 2 - 1; // picture row 0 is the highest y

  for (int r = 0; r < rows; r++) {
    const unsigned char *row = kPhotoPixels + r * kPhotoWidth;
    const int y = top - r;
    if (fb.monochrome) {
      for (int c = 0; c < cols; c++)
        if (row[c] > kBayer4x4[(r % 4) * 4 + c % 4]) fb.pixel(kLit, x0 + c, y);
      continue;
    }
    // Runs of equal grey as horizontal lines; black runs are left alone.
    for (int c1 = 0; c1 < cols;) {
      int c2 = c1;
      while (c2 + 1 < cols && row[c2 + 1] == row[c1]) c2++;
      if (row[c1] != 0) fb.hline(row[c1], x0 + c1, x0 + c2, y, kReplaceMode);
      c1 = c2 + 1;
    }
  }
}
