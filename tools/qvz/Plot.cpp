#include "Plot.h"
#include "Failure.h"
#include "OutputFile.h"

#include <fftw3.h>
#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

namespace qvz {

namespace {

constexpr int kWidth = 1200;           // pixels
constexpr int kWaveHeight = 120;       // pixels per channel
constexpr int kSpectrumHeight = 240;   // pixels per channel
constexpr int kGap = 6;                // pixels between channels
constexpr int kWindowLength = 2048;    // FFT length in samples
constexpr float kLowestFrequency = 20.0f; // Hz, bottom row of the spectrogram
constexpr float kFloorDecibels = -100.0f; // darkest level

struct Rgb {
  unsigned char r, g, b;
};
static_assert(sizeof(Rgb) == 3, "image rows are handed to libpng as packed RGB");

constexpr Rgb kBackground{16, 16, 24};
constexpr Rgb kWave{120, 200, 255};
constexpr Rgb kAxis{60, 60, 80};

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
  const Rgb *row(int y) const { return &mPixels[(size_t)y * mWidth]; }
  int width() const { return mWidth; }
  int height() const { return mHeight; }

private:
  int mWidth, mHeight;
  std::vector<Rgb> mPixels;
};

// Min/max of the samples under each column, drawn as a vertical line.
void drawWave(Image &image, int top, const std::vector<float> &samples) {
  const int middle = top + kWaveHeight / 2;
  for (int x = 0; x < kWidth; x++) image.set(x, middle, kAxis);
  const long count = (long)samples.size();
  if (count == 0) return;
  const float half = kWaveHeight / 2 - 1;
  for (int x = 0; x < kWidth; x++) {
    const long begin = (long)((double)x * count / kWidth);
    const long end = std::max(begin + 1, (long)((double)(x + 1) * count / kWidth));
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
    for (int y = yHigh; y <= yLow; y++) image.set(x, y, kWave);
  }
}

struct FftwFree {
  void operator()(void *p) const { fftwf_free(p); }
};

// One FFT per column, centred on the column's sample; rows map log-spaced frequencies
// to the nearest bin. 0 dB is a full-scale sine.
void drawSpectrum(Image &image, int top, const std::vector<float> &samples, int sampleRate) {
  std::unique_ptr<float, FftwFree> frame((float *)fftwf_malloc(sizeof(float) * kWindowLength));
  std::unique_ptr<fftwf_complex, FftwFree> bins(
      (fftwf_complex *)fftwf_malloc(sizeof(fftwf_complex) * (kWindowLength / 2 + 1)));
  fftwf_plan plan = fftwf_plan_dft_r2c_1d(kWindowLength, frame.get(), bins.get(), FFTW_ESTIMATE);
  if (!plan) throw Failure("cannot plan the spectrogram transform");

  std::vector<float> window(kWindowLength);
  float windowSum = 0.0f;
  for (int i = 0; i < kWindowLength; i++) {
    window[i] = 0.5f - 0.5f * std::cos(6.2831853f * i / kWindowLength);
    windowSum += window[i];
  }
  const float fullScale = windowSum / 2.0f; // bin magnitude of a full-scale sine

  const float nyquist = sampleRate / 2.0f;
  const float lowest = std::min(kLowestFrequency, nyquist / 2.0f);
  std::vector<int> binOfRow(kSpectrumHeight);
  for (int row = 0; row < kSpectrumHeight; row++) {
    const float fraction = (float)(kSpectrumHeight - 1 - row) / (kSpectrumHeight - 1);
    const float frequency = lowest * std::pow(nyquist / lowest, fraction);
    binOfRow[row] = std::clamp((int)std::lround(frequency * kWindowLength / sampleRate), 1, kWindowLength / 2);
  }

  const long count = (long)samples.size();
  std::vector<float> decibels(kWindowLength / 2 + 1);
  for (int x = 0; x < kWidth; x++) {
    const long centre = (long)(((double)x + 0.5) * count / kWidth);
    for (int i = 0; i < kWindowLength; i++) {
      const long k = centre - kWindowLength / 2 + i;
      const float v = k >= 0 && k < count ? samples[k] : 0.0f;
      frame.get()[i] = std::isfinite(v) ? v * window[i] : 0.0f;
    }
    fftwf_execute(plan);
    for (int b = 0; b <= kWindowLength / 2; b++) {
      const float magnitude = std::hypot(bins.get()[b][0], bins.get()[b][1]) / fullScale;
      decibels[b] = magnitude > 0.0f ? 20.0f * std::log10(magnitude) : kFloorDecibels;
    }
    for (int row = 0; row < kSpectrumHeight; row++)
      image.set(x, top + row, heat(1.0f - decibels[binOfRow[row]] / kFloorDecibels));
  }
  fftwf_destroy_plan(plan);
}

void savePng(const std::string &path, const Image &image) {
  OutputFile output(path, "plot ");
  const int fd = dup(output.descriptor());
  FILE *file = fd >= 0 ? fdopen(fd, "wb") : nullptr;
  if (!file) {
    if (fd >= 0) close(fd);
    throw Failure("cannot write plot '" + path + "': " + std::strerror(errno));
  }
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

void writePlot(const std::string &path, const Audio &audio, const std::vector<std::string> &names,
               const std::string &title) {
  const int channels = std::max(1, (int)audio.channels.size());
  const int stripe = kWaveHeight + kSpectrumHeight;
  Image image(kWidth, channels * stripe + (channels - 1) * kGap);
  for (int c = 0; c < (int)audio.channels.size(); c++) {
    const int top = c * (stripe + kGap);
    drawWave(image, top, audio.channels[c]);
    drawSpectrum(image, top + kWaveHeight, audio.channels[c], audio.sampleRate);
  }
  savePng(path, image);
}

} // namespace qvz
