#include "Plot.h"
#include "Failure.h"
#include "OutputFile.h"

#include <fftw3.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

namespace qvz {

namespace {

constexpr int kWidth = 1200;           // pixels
constexpr int kLeft = 64;              // margin for the frequency and level labels
constexpr int kRight = 96;             // margin for the colour bar
constexpr int kPlotWidth = kWidth - kLeft - kRight;
constexpr int kTitleHeight = 30;       // pixels above the first channel
constexpr int kLabelHeight = 20;       // the channel's name above its panel
constexpr int kWaveHeight = 120;       // pixels per channel
constexpr int kSpectrumHeight = 240;   // pixels per channel
constexpr int kAxisHeight = 42;        // time ticks and labels below the last channel
constexpr int kPanelGap = 10;          // between a channel's waveform and its spectrogram
constexpr int kGap = 6;                // pixels between channels
constexpr int kTick = 5;               // tick length in pixels
constexpr int kWindowLength = 2048;    // FFT length in samples
constexpr float kLowestFrequency = 20.0f; // Hz, bottom row of the spectrogram
constexpr float kFloorDecibels = -100.0f; // darkest level
constexpr float kDecibelStep = 20.0f;     // between colour-bar labels
constexpr int kColourBarWidth = 16;
constexpr int kTimeTicks = 10;            // at most, along the time axis
constexpr int kTextSize = 13;             // pixels
constexpr int kTitleSize = 16;
constexpr const char *kFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

struct Rgb {
  unsigned char r, g, b;
};
static_assert(sizeof(Rgb) == 3, "image rows are handed to libpng as packed RGB");

constexpr Rgb kBackground{16, 16, 24};
constexpr Rgb kWave{120, 200, 255};
constexpr Rgb kAxis{60, 60, 80};
constexpr Rgb kText{220, 220, 230};
constexpr Rgb kTickColour{150, 150, 170};

// Black through purple, red and orange to pale yellow as the level rises from 0 to 1.
Rgb heat(float level) {
  static const Rgb stops[] = {{0, 0, 4}, {60, 15, 110}, {180, 40, 90}, {250, 120, 30}, {252, 250, 180}};
  const int last = (int)(sizeof stops / sizeof stops[0]) - 1;
  const float position = std::clamp(level, 0.0f, 1.0f) * last;
  const int i = std::min((int)position, last - 1);
  const float t = position - i;
  auto mix = [t](unsigned char a, unsigned char b) { return (unsigned char)std::lround(a + (b - a) * t); };
  return {mix(stops[i].r, stops[i + 1].r), mix(stops[i].g, stops[i + 1].g), mix(stops[i].b, stops[i + 1].b)};
}

class Image {
public:
  Image(int width, int height) : mWidth(width), mHeight(height), mPixels((size_t)width * height, kBackground) {}
  void set(int x, int y, Rgb colour) {
    if (x >= 0 && x < mWidth && y >= 0 && y < mHeight) mPixels[(size_t)y * mWidth + x] = colour;
  }
  // Mixes a colour over a pixel by a coverage of 0..255.
  void blend(int x, int y, Rgb colour, int coverage) {
    if (x < 0 || x >= mWidth || y < 0 || y >= mHeight) return;
    Rgb &p = mPixels[(size_t)y * mWidth + x];
    auto mix = [coverage](unsigned char under, unsigned char over) {
      return (unsigned char)((under * (255 - coverage) + over * coverage + 127) / 255);
    };
    p = {mix(p.r, colour.r), mix(p.g, colour.g), mix(p.b, colour.b)};
  }
  const Rgb *row(int y) const { return &mPixels[(size_t)y * mWidth]; }
  int width() const { return mWidth; }
  int height() const { return mHeight; }

private:
  int mWidth, mHeight;
  std::vector<Rgb> mPixels;
};

// Text drawn with FreeType from a TrueType font, blended over the image.
class Font {
public:
  Font() {
    if (FT_Init_FreeType(&mLibrary) != 0) throw Failure("cannot start the font library for the plot");
    if (FT_New_Face(mLibrary, kFontPath, 0, &mFace) != 0) {
      FT_Done_FreeType(mLibrary);
      throw Failure(std::string("cannot load the plot's font ") + kFontPath + " (Debian: fonts-dejavu-core)");
    }
  }
  ~Font() {
    FT_Done_Face(mFace);
    FT_Done_FreeType(mLibrary);
  }
  Font(const Font &) = delete;
  Font &operator=(const Font &) = delete;

  // Width in pixels of a line of text at a size.
  int width(const std::string &text, int size) { return draw(nullptr, text, 0, 0, size, kText); }

  // Draws text with its baseline at y, starting at x; returns the width drawn.
  int draw(Image *image, const std::string &text, int x, int y, int size, Rgb colour) {
    FT_Set_Pixel_Sizes(mFace, 0, size);
    int pen = x;
    for (unsigned char c : text) {
      if (FT_Load_Char(mFace, c, FT_LOAD_RENDER) != 0) continue;
      const FT_GlyphSlot glyph = mFace->glyph;
      if (image) blend(*image, glyph->bitmap, pen + glyph->bitmap_left, y - glyph->bitmap_top, colour);
      pen += (int)(glyph->advance.x >> 6);
    }
    return pen - x;
  }

  // Text centred on x, or ending at x (right-aligned).
  void centred(Image &image, const std::string &text, int x, int y, int size, Rgb colour) {
    draw(&image, text, x - width(text, size) / 2, y, size, colour);
  }
  void rightAligned(Image &image, const std::string &text, int x, int y, int size, Rgb colour) {
    draw(&image, text, x - width(text, size), y, size, colour);
  }

private:
  static void blend(Image &image, const FT_Bitmap &bitmap, int left, int top, Rgb colour) {
    for (unsigned row = 0; row < bitmap.rows; row++)
      for (unsigned column = 0; column < bitmap.width; column++) {
        const int coverage = bitmap.buffer[row * bitmap.pitch + column];
        if (coverage) image.blend(left + (int)column, top + (int)row, colour, coverage);
      }
  }

  FT_Library mLibrary = nullptr;
  FT_Face mFace = nullptr;
};

// "1 kHz" for 1000, "100 Hz" for 100.
std::string frequencyLabel(float hertz) {
  char text[32];
  if (hertz >= 1000.0f) std::snprintf(text, sizeof text, "%g kHz", hertz / 1000.0f);
  else std::snprintf(text, sizeof text, "%g Hz", hertz);
  return text;
}

// Row of the spectrogram showing a frequency; rows run log-spaced from nyquist (top) to lowest.
float rowOfFrequency(float hertz, float lowest, float nyquist) {
  return (kSpectrumHeight - 1) * (1.0f - std::log(hertz / lowest) / std::log(nyquist / lowest));
}

float lowestFrequency(int sampleRate) { return std::min(kLowestFrequency, sampleRate / 4.0f); }

// Min/max of the samples under each column, drawn as a vertical line; levels +1, 0 and -1 marked.
void drawWave(Image &image, Font &font, int top, const std::vector<float> &samples) {
  const int middle = top + kWaveHeight / 2;
  const float half = kWaveHeight / 2 - 1;
  for (int x = kLeft; x < kLeft + kPlotWidth; x++) image.set(x, middle, kAxis);
  const char *const labels[] = {"+1", "0", "-1"};
  const int rows[] = {middle - (int)half, middle, middle + (int)half};
  for (int i = 0; i < 3; i++) {
    for (int x = kLeft - kTick; x < kLeft; x++) image.set(x, rows[i], kTickColour);
    font.rightAligned(image, labels[i], kLeft - kTick - 3, rows[i] + kTextSize / 2 - 1, kTextSize, kText);
  }
  const long count = (long)samples.size();
  if (count == 0) return;
  for (int column = 0; column < kPlotWidth; column++) {
    const long begin = (long)((double)column * count / kPlotWidth);
    const long end = std::max(begin + 1, (long)((double)(column + 1) * count / kPlotWidth));
    float low = 0.0f, high = 0.0f;
    bool any = false;
    for (long i = begin; i < end && i < count; i++) {
      const float v = samples[i];
      if (!std::isfinite(v)) continue;
      low = any ? std::min(low, v) : v;
      high = any ? std::max(high, v) : v;
      any = true;
    }
    if (!any) continue;
    const int yHigh = middle - (int)std::lround(std::clamp(high, -1.0f, 1.0f) * half);
    const int yLow = middle - (int)std::lround(std::clamp(low, -1.0f, 1.0f) * half);
    for (int y = yHigh; y <= yLow; y++) image.set(kLeft + column, y, kWave);
  }
}

struct FftwFree {
  void operator()(void *p) const { fftwf_free(p); }
};

// One FFT per column over a Hann window. Columns near the ends take the window that fits
// inside the signal rather than running over its edge, which would show a step at the ends of
// a steady tone as a broadband burst. Rows map log-spaced frequencies to the nearest bin;
// 0 dB is a full-scale sine.
void drawSpectrum(Image &image, Font &font, int top, const std::vector<float> &samples, int sampleRate) {
  const long count = (long)samples.size();
  const int length = (int)std::clamp<long>(count, 2, kWindowLength);
  std::unique_ptr<float, FftwFree> frame((float *)fftwf_malloc(sizeof(float) * kWindowLength));
  std::unique_ptr<fftwf_complex, FftwFree> bins(
      (fftwf_complex *)fftwf_malloc(sizeof(fftwf_complex) * (kWindowLength / 2 + 1)));
  if (!frame || !bins) throw Failure("not enough memory for the spectrogram");
  fftwf_plan plan = fftwf_plan_dft_r2c_1d(kWindowLength, frame.get(), bins.get(), FFTW_ESTIMATE);
  if (!plan) throw Failure("cannot plan the spectrogram transform");

  std::vector<float> window(length);
  float windowSum = 0.0f;
  for (int i = 0; i < length; i++) {
    window[i] = 0.5f - 0.5f * std::cos(6.2831853f * i / length);
    windowSum += window[i];
  }
  const float fullScale = windowSum / 2.0f; // bin magnitude of a full-scale sine

  const float nyquist = sampleRate / 2.0f;
  const float lowest = lowestFrequency(sampleRate);
  std::vector<int> binOfRow(kSpectrumHeight);
  for (int row = 0; row < kSpectrumHeight; row++) {
    const float fraction = (float)(kSpectrumHeight - 1 - row) / (kSpectrumHeight - 1);
    const float frequency = lowest * std::pow(nyquist / lowest, fraction);
    binOfRow[row] = std::clamp((int)std::lround(frequency * kWindowLength / sampleRate), 1, kWindowLength / 2);
  }

  std::vector<float> decibels(kWindowLength / 2 + 1);
  for (int column = 0; column < kPlotWidth; column++) {
    const long centre = (long)(((double)column + 0.5) * count / kPlotWidth);
    const long start = std::clamp<long>(centre - length / 2, 0, std::max(0L, count - length));
    std::fill(frame.get(), frame.get() + kWindowLength, 0.0f);
    for (int i = 0; i < length && start + i < count; i++) {
      const float v = samples[start + i];
      frame.get()[i] = std::isfinite(v) ? v * window[i] : 0.0f;
    }
    fftwf_execute(plan);
    for (int b = 0; b <= kWindowLength / 2; b++) {
      const float magnitude = std::hypot(bins.get()[b][0], bins.get()[b][1]) / fullScale;
      decibels[b] = magnitude > 0.0f ? 20.0f * std::log10(magnitude) : kFloorDecibels;
    }
    for (int row = 0; row < kSpectrumHeight; row++)
      image.set(kLeft + column, top + row, heat(1.0f - decibels[binOfRow[row]] / kFloorDecibels));
  }
  fftwf_destroy_plan(plan);

  // Frequency ticks at every decade (and 20 Hz) that falls inside the range.
  for (float hertz = 10.0f; hertz < nyquist; hertz *= 10.0f) {
    for (float tick : {hertz, hertz * 2.0f}) {
      if (tick < lowest || tick >= nyquist) continue;
      const int y = top + (int)std::lround(rowOfFrequency(tick, lowest, nyquist));
      for (int x = kLeft - kTick; x < kLeft; x++) image.set(x, y, kTickColour);
      if (tick == hertz || tick == kLowestFrequency)
        font.rightAligned(image, frequencyLabel(tick), kLeft - kTick - 3, y + kTextSize / 2 - 1, kTextSize, kText);
    }
  }
}

// Seconds between time ticks: 1, 2 or 5 times a power of ten, at most kTimeTicks of them.
double timeStep(double seconds) {
  if (!(seconds > 0.0)) return 1.0;
  double step = std::pow(10.0, std::floor(std::log10(seconds / kTimeTicks)));
  for (double factor : {1.0, 2.0, 5.0, 10.0})
    if (seconds / (step * factor) <= kTimeTicks) return step * factor;
  return step * 10.0;
}

void drawTimeTicks(Image &image, Font &font, int bottom, double seconds, bool labelled) {
  const double step = timeStep(seconds);
  for (double t = 0.0; t <= seconds * (1.0 + 1e-9); t += step) {
    const int x = kLeft + (int)std::lround(seconds > 0.0 ? t / seconds * (kPlotWidth - 1) : 0.0);
    for (int y = bottom; y < bottom + kTick; y++) image.set(x, y, kTickColour);
    if (!labelled) continue;
    char text[32];
    std::snprintf(text, sizeof text, "%g", std::round(t / step) * step);
    font.centred(image, text, x, bottom + kTick + kTextSize, kTextSize, kText);
  }
  if (labelled)
    font.centred(image, "time (s)", kLeft + kPlotWidth / 2, bottom + kTick + 2 * kTextSize + 2, kTextSize, kTickColour);
}

// The colour scale beside the first spectrogram: 0 dB at the top to the floor at the bottom.
void drawColourBar(Image &image, Font &font, int top) {
  const int left = kLeft + kPlotWidth + 12;
  for (int row = 0; row < kSpectrumHeight; row++) {
    const Rgb colour = heat(1.0f - (float)row / (kSpectrumHeight - 1));
    for (int x = left; x < left + kColourBarWidth; x++) image.set(x, top + row, colour);
  }
  for (float db = 0.0f; db >= kFloorDecibels; db -= kDecibelStep) {
    const int y = top + (int)std::lround(db / kFloorDecibels * (kSpectrumHeight - 1));
    for (int x = left + kColourBarWidth; x < left + kColourBarWidth + kTick; x++) image.set(x, y, kTickColour);
    char text[16];
    std::snprintf(text, sizeof text, "%g", db);
    font.draw(&image, text, left + kColourBarWidth + kTick + 3, y + kTextSize / 2 - 1, kTextSize, kText);
  }
  font.draw(&image, "dBFS", left, top - 6, kTextSize, kTickColour);
}

void savePng(const std::string &path, const Image &image) {
  OutputFile output(path, "plot ");
  FILE *file = output.openStream();
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  volatile bool written = false; // survives a longjmp from libpng
  if (png && info && !setjmp(png_jmpbuf(png))) {
    png_init_io(png, file);
    png_set_IHDR(png, info, image.width(), image.height(), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < image.height(); y++) png_write_row(png, (png_const_bytep)image.row(y));
    png_write_end(png, nullptr);
    written = true;
  }
  png_destroy_write_struct(&png, &info);
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed) throw Failure("cannot write plot '" + path + "'");
  output.commit();
}

} // namespace

void checkPlotFont() { Font font; }

void writePlot(const std::string &path, const Audio &audio, const std::vector<std::string> &names,
               const std::string &title) {
  Font font;
  const int channels = std::max(1, (int)audio.channels.size());
  const int stripe = kLabelHeight + kWaveHeight + kPanelGap + kSpectrumHeight;
  Image image(kWidth, kTitleHeight + channels * stripe + (channels - 1) * kGap + kAxisHeight);
  char heading[64];
  std::snprintf(heading, sizeof heading, "  -  %d Hz, %.3f s", audio.sampleRate,
                audio.sampleRate > 0 ? (double)audio.frames() / audio.sampleRate : 0.0);
  font.draw(&image, title + heading, kLeft, kTitleHeight - 10, kTitleSize, kText);
  const double seconds = audio.sampleRate > 0 ? (double)audio.frames() / audio.sampleRate : 0.0;
  for (int c = 0; c < (int)audio.channels.size(); c++) {
    const int top = kTitleHeight + c * (stripe + kGap);
    std::string label = "channel " + std::to_string(c + 1);
    if (c < (int)names.size() && !names[c].empty()) label += ": " + names[c];
    font.draw(&image, label, kLeft, top + kLabelHeight - 6, kTextSize, kText);
    drawWave(image, font, top + kLabelHeight, audio.channels[c]);
    const int spectrumTop = top + kLabelHeight + kWaveHeight + kPanelGap;
    drawSpectrum(image, font, spectrumTop, audio.channels[c], audio.sampleRate);
    if (c == 0) drawColourBar(image, font, spectrumTop);
    drawTimeTicks(image, font, spectrumTop + kSpectrumHeight, seconds, c + 1 == (int)audio.channels.size());
  }
  savePng(path, image);
}

} // namespace qvz
