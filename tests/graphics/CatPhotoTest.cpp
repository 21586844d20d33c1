#include "graphics/CatPhoto.h"
#include "graphics/CatPhotoPixels.h"

#include "support/Harness.h"

#include <od/FrameBuffer.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Records the drawing calls a widget makes, and draws them too.
class RecordingFrameBuffer : public od::FrameBuffer {
public:
  struct Call {
    int color, x0, x1, y, mode;
  };
  RecordingFrameBuffer(int width, int height, bool mono) : od::FrameBuffer(width, height, mono) {}
  void pixel(int color, int x, int y) override {
    pixels.push_back({color, x, x, y, -1});
    od::FrameBuffer::pixel(color, x, y);
  }
  void hline(int color, int x0, int x1, int y, int mode) override {
    lines.push_back({color, x0, x1, y, mode});
    od::FrameBuffer::hline(color, x0, x1, y, mode);
  }
  std::vector<Call> pixels, lines;
};

using HeldPhoto = qvztest::Held<CatPhoto>;

int picture(int r, int c) { return kPhotoPixels[r * kPhotoWidth + c]; }

TEST(CatPhoto, PictureIsAMostlyBlackGreyImage) {
  int zeros = 0;
  for (unsigned char v : kPhotoPixels) {
    ASSERT_LE(v, 15);
    zeros += v == 0;
  }
  EXPECT_GT(zeros, kPhotoWidth * kPhotoHeight * 7 / 10);
  EXPECT_LT(zeros, kPhotoWidth * kPhotoHeight * 95 / 100);
  for (int c = 0; c < kPhotoWidth; c++) EXPECT_EQ(picture(0, c), 0) << c; // black border on top
}

TEST(CatPhoto, GreyRunsCentredInALargerWidget) {
  const int left = 5, bottom = 7;
  HeldPhoto w(left, bottom, 100, 80);
  RecordingFrameBuffer fb(120, 100, false);
  w->draw(fb);
  EXPECT_TRUE(fb.pixels.empty());
  // Picture column c on x = left + 8 + c, row r on y = bottom + 71 - r; nothing else lit.
  for (int y = 0; y < fb.height(); y++)
    for (int x = 0; x < fb.width(); x++) {
      const int c = x - (left + 8), r = bottom + 71 - y;
      const int expected = (c >= 0 && c < kPhotoWidth && r >= 0 && r < kPhotoHeight) ? picture(r, c) : 0;
      ASSERT_EQ(fb.get(x, y), expected) << x << "," << y;
    }
  // Runs are maximal, never black, in mode 0, top row first.
  for (size_t k = 0; k < fb.lines.size(); k++) {
    const RecordingFrameBuffer::Call &line = fb.lines[k];
    EXPECT_NE(line.color, 0);
    EXPECT_EQ(line.mode, 0);
    const int r = bottom + 71 - line.y;
    if (line.x0 > left + 8) {
      EXPECT_NE(picture(r, line.x0 - left - 8 - 1), line.color);
    }
    if (line.x1 < left + 8 + kPhotoWidth - 1) {
      EXPECT_NE(picture(r, line.x1 - left - 8 + 1), line.color);
    }
    if (k > 0) {
      EXPECT_LE(line.y, fb.lines[k - 1].y);
    }
  }
}

TEST(CatPhoto, SmallWidgetsCropWithoutScaling) {
  HeldPhoto w(3, 2, 50, 10);
  RecordingFrameBuffer fb(100, 100, false);
  w->draw(fb);
  for (const auto &line : fb.lines) {
    EXPECT_GE(line.x0, 3);
    EXPECT_LE(line.x1, 3 + 49);
    EXPECT_GE(line.y, 2);
    EXPECT_LE(line.y, 2 + 9);
  }
  for (int r = 0; r < 10; r++)
    for (int c = 0; c < 50; c++) ASSERT_EQ(fb.get(3 + c, 11 - r), picture(r, c)) << r << "," << c;

  for (auto size : {std::pair<int, int>{84, 0}, {84, -5}, {0, 64}, {-10, 64}}) {
    HeldPhoto empty(0, 0, size.first, size.second);
    RecordingFrameBuffer none(100, 100, false);
    empty->draw(none);
    EXPECT_TRUE(none.lines.empty() && none.pixels.empty()) << size.first << "x" << size.second;
  }
}

TEST(CatPhoto, MonochromeDithersWithTheBayerMatrix) {
  const int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  HeldPhoto w(0, 0, 84, 64);
  RecordingFrameBuffer fb(84, 64, true);
  w->draw(fb);
  EXPECT_TRUE(fb.lines.empty());
  for (const auto &p : fb.pixels) EXPECT_EQ(p.color, 15);
  for (int r = 0; r < kPhotoHeight; r++)
    for (int c = 0; c < kPhotoWidth; c++)
      ASSERT_EQ(fb.get(c, 63 - r), picture(r, c) > bayer[r % 4][c % 4] ? 15 : 0) << r << "," << c;
}

TEST(FrameBuffer, DrawsClipsAndHonoursMonochrome) {
  od::FrameBuffer fb(8, 4, false);
  fb.pixel(7, 1, 1);
  fb.pixel(20, 2, 1); // levels are limited to 15
  fb.pixel(-3, 3, 1);
  fb.pixel(9, 8, 0);  // outside: ignored
  fb.pixel(9, -1, 0);
  EXPECT_EQ(fb.get(1, 1), 7);
  EXPECT_EQ(fb.get(2, 1), 15);
  EXPECT_EQ(fb.get(3, 1), 0);
  EXPECT_EQ(fb.get(8, 0), 0);
  fb.hline(5, 6, 2, 3, 0); // inclusive, either order
  for (int x = 0; x < 8; x++) EXPECT_EQ(fb.get(x, 3), x >= 2 && x <= 6 ? 5 : 0) << x;
  fb.hline(9, -4, 20, 2, 0); // clipped at both ends
  for (int x = 0; x < 8; x++) EXPECT_EQ(fb.get(x, 2), 9);
  fb.hline(3, 0, 7, 3, 1); // mode 1 keeps the brighter
  EXPECT_EQ(fb.get(4, 3), 5);
  EXPECT_EQ(fb.get(0, 3), 3);
  fb.hline(3, 0, 7, 9, 0); // a row outside: nothing
  fb.clear();
  EXPECT_EQ(fb.get(4, 3), 0);

  od::FrameBuffer mono(4, 4, true);
  mono.pixel(1, 0, 0);
  mono.hline(6, 1, 2, 0, 0);
  mono.pixel(0, 3, 0);
  EXPECT_EQ(mono.get(0, 0), 15);
  EXPECT_EQ(mono.get(2, 0), 15);
  EXPECT_EQ(mono.get(3, 0), 0);
}

#ifdef QVZ_HAVE_PNG
TEST(FrameBuffer, SavesAGreyPngTopRowFirst) {
  od::FrameBuffer fb(3, 2, false);
  fb.pixel(15, 0, 1); // top-left in the picture
  const std::string path = ::testing::TempDir() + "qvz_fb_test.png";
  ASSERT_TRUE(fb.savePNG(path, 2));
  FILE *file = std::fopen(path.c_str(), "rb");
  ASSERT_NE(file, nullptr);
  unsigned char header[26] = {};
  const size_t got = std::fread(header, 1, sizeof header, file);
  std::fclose(file);
  ASSERT_EQ(got, sizeof header);
  const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  for (int i = 0; i < 8; i++) EXPECT_EQ(header[i], signature[i]);
  EXPECT_EQ(header[19], 6);  // width 3 x 2
  EXPECT_EQ(header[23], 4);  // height 2 x 2
  EXPECT_EQ(header[24], 8);  // bits per sample
  EXPECT_EQ(header[25], 0);  // grey
  std::remove(path.c_str());

  const std::string unwritable = ::testing::TempDir() + "no/such/dir/x.png";
  EXPECT_FALSE(fb.savePNG(unwritable));
  EXPECT_EQ(std::fopen((unwritable + ".part").c_str(), "rb"), nullptr);
}
#endif

} // namespace
