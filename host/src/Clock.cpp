#include <od/Clock.h>

#include <algorithm>
#include <cmath>

namespace od {

namespace {
constexpr double kSecondsPerMinute = 60.0;
} // namespace

Clock::Clock() {
  addOutput(mOut);
  addParameter(mBPM);
  addParameter(mWidth);
  addParameter(mHz);
  mBPM.enableSerialization();
  mWidth.enableSerialization();
  mHz.enableSerialization();
}

Clock::~Clock() = default;

void Clock::process() {
  const int n = globalConfig.frameLength;
  float *out = mOut.buffer();
  const double rate = sampleRate();
  const double hz = mHz.value() > 0.0f ? mHz.value() : mBPM.value() / kSecondsPerMinute;

  if (!(hz > 0.0) || !std::isfinite(hz)) {
    for (int i = 0; i < n; i++) out[i] = 0.0f;
    return;
  }
  const double beat = std::max(1.0, rate / hz); // samples per beat
  double width = mWidth.value() * rate;          // samples per pulse
  if (!(width >= 1.0)) width = 1.0;
  // At least half of every beat stays low, so consecutive pulses stay apart.
  width = std::min(width, std::max(1.0, beat / 2.0));

  for (int i = 0; i < n; i++) {
    if (mPosition >= beat) mPosition = std::fmod(mPosition, beat);
    out[i] = mPosition < width ? 1.0f : 0.0f;
    mPosition += 1.0;
  }
}

} // namespace od
