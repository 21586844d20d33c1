#include <od/FrameBuffer.h>

#include <algorithm>
#include <cstdio>

#ifdef QVZ_HAVE_PNG
#include <png.h>
#endif

namespace od {

namespace {
constexpr int kMaxScale = 16;
constexpr int kGreyStep = 17; // level 15 becomes 255 in an 8-bit picture

int limitedSide(int side) { return std::min(std::max(side, 0), FrameBuffer::kMaxSide); }
} // namespace

FrameBuffer::FrameBuffer(int width, int height, bool monochrome)
    : monochrome(monochrome), mWidth(limitedSide(width)), mHeight(limitedSide(height)),
      mLevels((size_t)mWidth * (size_t)mHeight, 0) {}

FrameBuffer::~FrameBuffer() = default;

void FrameBuffer::put(int color, int x, int y, int mode) {
  int level = std::min(std::max(color, 0), kMaxLevel);
  if (monochrome && level > 0) level = kMaxLevel;
  unsigned char &stored = mLevels[(size_t)y * (size_t)mWidth + (size_t)x];
  stored = (unsigned char)(mode == 1 ? std::max<int>(stored, level) : level);
}

void FrameBuffer::pixel(int color, int x, int y) {
  if (x < 0 || x >= mWidth || y < 0 || y >= mHeight) return;
  put(color, x, y, 0);
}

void FrameBuffer::hline(int color, int x0, int x1, int y, int mode) {
  if (y < 0 || y >= mHeight) return;
  const int from = std::max(std::min(x0, x1), 0);
  const int to = std::min(std::max(x0, x1), mWidth - 1);
  for (int x = from; x <= to; x++) put(color, x, y, mode);
}

int FrameBuffer::get(int x, int y) const {
  if (x < 0 || x >= mWidth || y < 0 || y >= mHeight) return 0;
  return mLevels[(size_t)y * (size_t)mWidth + (size_t)x];
}

void FrameBuffer::clear() { std::fill(mLevels.begin(), mLevels.end(), 0); }

#ifdef QVZ_HAVE_PNG
namespace {
// Writes the picture rows to an open file; false on any libpng failure.
bool writePng(FILE *file, const std::vector<std::vector<png_byte>> &rows, int width, int height) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, info ? &info : nullptr);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, (png_uint_32)width, (png_uint_32)height, 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (const auto &row : rows) png_write_row(png, row.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}
} // namespace

bool FrameBuffer::writePNG(std::FILE *file, int scale) const {
  if (mWidth < 1 || mHeight < 1) return false;
  scale = std::min(std::max(scale, 1), kMaxScale);
  const int width = mWidth * scale;
  const int height = mHeight * scale;
  std::vector<std::vector<png_byte>> rows((size_t)height, std::vector<png_byte>((size_t)width));
  for (int r = 0; r < height; r++) {
    const int y = mHeight - 1 - r / scale; // the top row of the picture is the highest y
    for (int c = 0; c < width; c++) rows[(size_t)r][(size_t)c] = (png_byte)(get(c / scale, y) * kGreyStep);
  }
  return writePng(file, rows, width, height);
}

bool FrameBuffer::savePNG(const std::string &path, int scale) const {
  if (mWidth < 1 || mHeight < 1) return false;
  // Written beside the target and renamed, so a failed write never leaves a partial file.
  const std::string partial = path + ".part";
  FILE *file = std::fopen(partial.c_str(), "wb");
  if (!file) return false;
  const bool written = writePNG(file, scale);
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed || std::rename(partial.c_str(), path.c_str()) != 0) {
    std::remove(partial.c_str());
    return false;
  }
  return true;
}
#else
bool FrameBuffer::savePNG(const std::string &, int) const { return false; }
bool FrameBuffer::writePNG(std::FILE *, int) const { return false; }
#endif

} // namespace od
