#include "MonoGrain.h"

#include <od/AudioThread.h>
#include <od/simd.h>

namespace morpho {

MonoGrain::MonoGrain() = default;
MonoGrain::~MonoGrain() = default;

template <typename Value, typename Mix> void MonoGrain::synthesize(Value value, Mix mix) {
  const int count = beginFrame();
  if (count == 0) return;
  float *envelope = od::AudioThread::getFrame();
  if (!envelope) return; // no scratch frame: the grain waits for the next frame
  generateEnvelope(envelope + mDelay, count);
  // The interpolation history lives in locals for the frame (see StereoGrain::synthesize).
  float newestValue = mNewest, previousValue = mPrevious, oldestValue = mOldest;
  const auto read = [&](int p) {
    oldestValue = previousValue;
    previousValue = newestValue;
    newestValue = value(p);
  };
  for (int j = mDelay; j < mDelay + count; j += 4) {
    float4 newest, previous, oldest, fraction;
    for (int lane = 0; lane < 4; lane++) {
      advance(read);
      newest[lane] = newestValue;
      previous[lane] = previousValue;
      oldest[lane] = oldestValue;
      fraction[lane] = mFraction;
    }
    mix(j, simd_load(envelope + j) * simd_quadratic_interpolate_with_return(newest, previous, oldest, fraction));
  }
  mNewest = newestValue;
  mPrevious = previousValue;
  mOldest = oldestValue;
  endFrame(count);
  od::AudioThread::releaseFrame(envelope);
}

namespace {
// out[0..3] += gain * shaped
void addScaled(float *out, float gain, float4 shaped) { simd_store(out, simd_load(out) + gain * shaped); }
} // namespace

void MonoGrain::synthesizeFromMonoToMono(float *out) {
  const float *data = mSample->data();
  synthesize([data](int p) { return data[p]; }, [&](int j, float4 v) { addScaled(out + j, mGainLeft, v); });
}

void MonoGrain::synthesizeFromMonoToStereo(float *left, float *right) {
  const float *data = mSample->data();
  synthesize([data](int p) { return data[p]; },
             [&](int j, float4 v) {
               addScaled(left + j, mGainLeft, v);
               addScaled(right + j, mGainRight, v);
             });
}

void MonoGrain::synthesizeFromStereo(float *out) {
  const float *data = mSample->data();
  synthesize([data](int p) { return (data[2 * p] + data[2 * p + 1]) * 0.5f; },
             [&](int j, float4 v) { addScaled(out + j, mGainLeft, v); });
}

} // namespace morpho
