#include "Grain.h"

#include <od/config.h>
#include <od/simd.h>

#include <dsp/Clamp.h>
#include <dsp/Frame.h>
#include <dsp/Lanes.h>

#include <algorithm>

namespace morpho {

namespace {
// Pans within this distance of the centre give both sides the full gain.
constexpr float kCentreWidth = 0.00001f;
// Largest read step in source frames per output sample (either direction). Only the last three
// frames passed are read, so larger steps would sound no different; the limit keeps position
// arithmetic inside the int range for any speed (NaN plays as speed 0).
constexpr float kMaxStep = 65536.0f;
// Squash curve y - (4/27) y^3 on y clamped to +-1.5: reaches +-1 with zero slope at +-1.5.
constexpr float kSquashLimit = 1.5f;
constexpr float kSquashCubic = -0.148148149f;
} // namespace

Grain::Grain() = default;

Grain::~Grain() {
  stop();
  if (mSample) mSample->release();
}

void Grain::setSample(od::Sample *sample) {
  stop();
  if (sample) sample->attach();
  if (mSample) mSample->release();
  mSample = sample;
  if (sample) mRateRatio = sample->rate() * mOutputPeriod;
  mRegionStart = 0;
  mRegionLength = sample ? sample->frames() : 0;
}

void Grain::setRegion(int start, int length) {
  const int frames = mSample ? mSample->frames() : 0;
  if (frames <= 0) {
    mRegionStart = 0;
    mRegionLength = 0;
    return;
  }
  if (start >= frames) start = frames > 1 ? frames - 1 : 0;
  if (start < 0) start = 0;
  mRegionStart = start;
  mRegionLength = std::max(std::min(frames - start, length), 1);
}

int Grain::wrapWide(long long index, int regionStart, int regionLength) {
  if (regionLength <= 0) return 0;
  if (index >= regionStart && index < (long long)regionStart + regionLength) return (int)index;
  long long r = (index - regionStart) % regionLength;
  if (r < 0) r += regionLength;
  return regionStart + (int)r;
}

void Grain::init(int position, int size, float speed, float gain, float pan) {
  mPosition = mRegionLength <= 0 ? 0 : wrapIndex(position);
  mDelay = 0;
  mDuration = std::max(size, kMinimumDuration) & ~3;
  mRemaining = mDuration;
  mStep = std::isnan(speed) ? 0.0f : std::min(std::max(speed * mRateRatio, -kMaxStep), kMaxStep);
  mFraction = 0.0f;
  mContiguous = 0; // the history holds frames of an earlier grain
  if (pan < -kCentreWidth) {
    mGainLeft = gain;
    mGainRight = gain * (1.0f + pan);
  } else if (pan > kCentreWidth) {
    mGainLeft = gain * (1.0f - pan);
    mGainRight = gain;
  } else {
    mGainLeft = gain;
    mGainRight = gain;
  }
  mWindowPhase = 0.0f;
  mWindowStep = 0.5f / (float)mDuration;
  mActive = mSample != nullptr;
}

void Grain::setEnvelope(int code) {
  mEnvelope = code;
  mFade = 0;
}

void Grain::setFade(int samples) { mFade = samples; }

void Grain::setSquash(float squash) { mSquash = squash; }

void Grain::setDelay(int samples) { mDelay = std::min(std::max(samples, 0), mDuration) & ~3; }

void Grain::stop() {
  mRemaining = 0;
  mActive = false;
}

int Grain::samplesRequired() const { return dsp::truncToInt((float)mRemaining * mStep); }

void Grain::snapToZeroCrossing(int range) {
  if (!mSample || mPosition < 0 || mPosition >= mSample->frames()) return;
  const float *data = mSample->data();
  const long long channels = mSample->channels();
  const float x = data[mPosition * channels];
  if (x < 0.0f) {
    const long long end = std::min((long long)mPosition + range, (long long)mSample->frames());
    for (long long i = (long long)mPosition + 1; i < end; i++) {
      if (data[i * channels] >= 0.0f) {
        mPosition = (int)i;
        return;
      }
    }
  } else if (x > 0.0f) {
    const long long end = std::max((long long)mPosition - range, 0LL);
    for (long long i = (long long)mPosition - 1; i >= end; i--) {
      if (data[i * channels] <= 0.0f) {
        mPosition = (int)i;
        return;
      }
    }
  }
}

void Grain::generateEnvelope(float *out, int count) {
  switch (mEnvelope) {
  case kSine: generateSineWindow(out, count); break;
  case kHanning: generateHanningWindow(out, count); break;
  case kTrapezoid: generateTrapezoidWindow(out, count); break;
  default: return;
  }
  if (mSquash > 1.0f) squashEnvelope(out, count);
}

namespace {
// The next four window phases, each one step after the previous (repeated float addition).
float4 nextPhases(float &phase, float step) {
  float4 p;
  for (int lane = 0; lane < 4; lane++) {
    phase += step;
    p[lane] = phase;
  }
  return p;
}
} // namespace

// simd_sine_env(p) = sin(2 pi p): over the grain's phases (step .. 0.5) it rises from 0 to 1 at
// 0.25 and falls back to 0 at the grain's last output.
void Grain::generateSineWindow(float *out, int count) {
  SineWindowTable *table = mSineTable;
  const int first = mDuration - mRemaining; // outputs of this grain so far
  if (table && ((first | count) & 3) == 0) {
    if (first == 0 && table->duration != mDuration) {
      table->duration = mDuration;
      table->filled = 0;
    }
    if (table->duration == mDuration && first <= table->filled) {
      // What the table holds, then the table extended by what this grain computes.
      const int held = std::min(table->filled - first, count);
      if (held > 0) {
        std::copy(table->value + first, table->value + first + held, out);
        mWindowPhase = table->phase[first + held - 1];
      }
      int i = held;
      for (; i < count && first + i < SineWindowTable::kCapacity; i += 4) {
        const float4 phases = nextPhases(mWindowPhase, mWindowStep);
        const float4 values = simd_sine_env(phases);
        simd_store(out + i, values);
        simd_store(table->phase + first + i, phases);
        simd_store(table->value + first + i, values);
      }
      table->filled = std::max(table->filled, first + i);
      out += i;
      count -= i;
    }
  }
  for (int i = 0; i < count; i += 4) simd_store(out + i, simd_sine_env(nextPhases(mWindowPhase, mWindowStep)));
}

// simd_hanning(p) = sin^2(2 pi p) = 0.5 - 0.5 cos(4 pi p): the same span, with smoother ends.
void Grain::generateHanningWindow(float *out, int count) {
  for (int i = 0; i < count; i += 4) simd_store(out + i, simd_hanning(nextPhases(mWindowPhase, mWindowStep)));
}

// Linear fade-in over the first `fade` outputs, 1 in between, linear fade-out over the last
// `fade`; follows remaining, so it keeps no state of its own. Four outputs at a time, each lane
// choosing its piece with int comparisons as a scalar would.
void Grain::generateTrapezoidWindow(float *out, int count) {
  const float k = mFade > 0 ? 1.0f / (float)mFade : 0.0f; // no ramps without a fade
  const int hold = mDuration - mFade;                      // remaining where the fade-out begins
  const dsp::int4 offsets = {0, 1, 2, 3};
  for (int i = 0; i < count; i += 4) {
    const dsp::int4 r = (mRemaining - i) - offsets;
    const float4 rising = dsp::floatLanes(r) * k;
    const float4 falling = dsp::floatLanes(mDuration - r) * k;
    const float4 inner = dsp::selectLanes(r < hold, simd_set(1.0f), falling);
    const float4 ramp = dsp::selectLanes(r < mFade, rising, inner);
    simd_store(out + i, dsp::selectLanes(r < 0, simd_set(0.0f), ramp));
  }
}

// Drives the window into the squash curve: every value of at least 1.5 / squash becomes 1, so
// the window flattens toward a rectangle as squash grows. A value the drive turns into NaN
// (0 times an infinite squash) becomes 0.
void Grain::squashEnvelope(float *out, int count) {
  const float4 limit = simd_set(kSquashLimit);
  const float4 zero = simd_set(0.0f);
  for (int i = 0; i < count; i += 4) {
    float4 y = simd_load(out + i) * mSquash;
    y = y == y ? y : zero;
    y = y > limit ? limit : y;
    y = y < -limit ? -limit : y;
    simd_store(out + i, y + kSquashCubic * (y * y * y));
  }
}

int Grain::beginFrame() {
  if (mRemaining == 0) return 0;
  const int frame = dsp::usableFrameLength();
  if (mDelay >= frame) {
    mDelay -= frame;
    return 0;
  }
  return std::min(frame - mDelay, mRemaining);
}

void Grain::endFrame(int count) {
  mDelay = 0;
  mRemaining -= count;
  mActive = mRemaining > 0;
}

} // namespace morpho
