#include "MonoGrain.h"

#include <od/AudioThread.h>
#include <od/simd.h>

#include <algorithm>

namespace morpho {

MonoGrain::MonoGrain() = default;
MonoGrain::~MonoGrain() = default;

template <typename Value, typename Mix> void MonoGrain::synthesize(Value value, Mix mix) {
  const int count = beginFrame();
  if (count == 0) return;
  float *envelope = od::AudioThread::getFrame();
  if (!envelope) return; // no scratch frame: the grain waits for the next frame
  generateEnvelope(envelope + mDelay, count);
  // The read state and the interpolation history live in locals for the frame, walked a
  // chunk at a time before the vector arithmetic (see StereoGrain::synthesize).
  Playhead h = playhead();
  float newestValue = mNewest, previousValue = mPrevious, oldestValue = mOldest;
  const auto read = [&](int p) {
    oldestValue = previousValue;
    previousValue = newestValue;
    newestValue = value(p);
  };
  alignas(16) float newest[kChunk], previous[kChunk], oldest[kChunk], fraction[kChunk];
  const int end = mDelay + count;
  for (int first = mDelay; first < end; first += kChunk) {
    const int chunk = std::min(kChunk, end - first);
    if (straightAhead(h, chunk)) {
      // No wraps ahead: the history is read straight from the three frames behind the position.
      for (int i = 0; i < chunk; i++) {
        const int d = straightStep(h);
        newest[i] = value(h.position + d);
        previous[i] = value(h.position + 2 * d);
        oldest[i] = value(h.position + 3 * d);
        fraction[i] = h.fraction;
      }
      newestValue = newest[chunk - 1];
      previousValue = previous[chunk - 1];
      oldestValue = oldest[chunk - 1];
    } else for (int i = 0; i < chunk; i++) {
      advance(h, read);
      newest[i] = newestValue;
      previous[i] = previousValue;
      oldest[i] = oldestValue;
      fraction[i] = h.fraction;
    }
    for (int i = 0; i < chunk; i += 4) {
      const int j = first + i;
      mix(j, simd_load(envelope + j) * simd_quadratic_interpolate_with_return(simd_load(newest + i), simd_load(previous + i),
                                                                              simd_load(oldest + i), simd_load(fraction + i)));
    }
  }
  keep(h);
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
  const float gain = mGainLeft;
  synthesize([data](int p) { return data[p]; }, [out, gain](int j, float4 v) { addScaled(out + j, gain, v); });
}

void MonoGrain::synthesizeFromMonoToStereo(float *left, float *right) {
  const float *data = mSample->data();
  const float gainLeft = mGainLeft, gainRight = mGainRight;
  synthesize([data](int p) { return data[p]; },
             [left, right, gainLeft, gainRight](int j, float4 v) {
               addScaled(left + j, gainLeft, v);
               addScaled(right + j, gainRight, v);
             });
}

void MonoGrain::synthesizeFromStereo(float *out) {
  const float *data = mSample->data();
  const float gain = mGainLeft;
  synthesize([data](int p) { return (data[2 * p] + data[2 * p + 1]) * 0.5f; },
             [out, gain](int j, float4 v) { addScaled(out + j, gain, v); });
}

} // namespace morpho
