#include "StereoGrain.h"

#include <od/AudioThread.h>
#include <od/simd.h>

#include <algorithm>

namespace morpho {

StereoGrain::StereoGrain() = default;

StereoGrain::~StereoGrain() { setSample(nullptr); }

void StereoGrain::synthesize(float *left, float *right) {
  const int count = beginFrame();
  if (count == 0) return;
  float *envelope = od::AudioThread::getFrame();
  if (!envelope) return; // no scratch frame: the grain waits for the next frame
  generateEnvelope(envelope + mDelay, count);
  const float *data = mSample->data();
  const int channels = mSample->channels();
  // The read state and the interpolation history live in locals for the frame. Each chunk
  // first walks the source (a scalar chain: every step depends on the previous fraction),
  // keeping the history of every output, then mixes four outputs at a time.
  Playhead h = playhead();
  float leftNewest = mLeftNewest, leftPrevious = mLeftPrevious, leftOldest = mLeftOldest;
  float rightNewest = mRightNewest, rightPrevious = mRightPrevious, rightOldest = mRightOldest;
  const auto read = [&](int p) {
    leftOldest = leftPrevious;
    leftPrevious = leftNewest;
    leftNewest = data[(long long)p * channels];
    rightOldest = rightPrevious;
    rightPrevious = rightNewest;
    rightNewest = data[(long long)p * channels + 1];
  };
  const float gainLeft = mGainLeft, gainRight = mGainRight;
  alignas(16) float ln[kChunk], lp[kChunk], lo[kChunk], rn[kChunk], rp[kChunk], ro[kChunk], fraction[kChunk];
  const int end = mDelay + count;
  for (int first = mDelay; first < end; first += kChunk) {
    const int chunk = std::min(kChunk, end - first);
    if (straightAhead(h, chunk)) {
      // No wraps ahead: the history is read straight from the three frames behind the position.
      for (int i = 0; i < chunk; i++) {
        const long long d = (long long)straightStep(h) * channels;
        const float *newest = data + (long long)h.position * channels + d;
        ln[i] = newest[0];
        rn[i] = newest[1];
        lp[i] = newest[d];
        rp[i] = newest[d + 1];
        lo[i] = newest[2 * d];
        ro[i] = newest[2 * d + 1];
        fraction[i] = h.fraction;
      }
      leftNewest = ln[chunk - 1];
      leftPrevious = lp[chunk - 1];
      leftOldest = lo[chunk - 1];
      rightNewest = rn[chunk - 1];
      rightPrevious = rp[chunk - 1];
      rightOldest = ro[chunk - 1];
    } else for (int i = 0; i < chunk; i++) {
      advance(h, read);
      ln[i] = leftNewest;
      lp[i] = leftPrevious;
      lo[i] = leftOldest;
      rn[i] = rightNewest;
      rp[i] = rightPrevious;
      ro[i] = rightOldest;
      fraction[i] = h.fraction;
    }
    for (int i = 0; i < chunk; i += 4) {
      const int j = first + i;
      const float4 f = simd_load(fraction + i);
      const float4 shape = simd_load(envelope + j);
      const float4 l = simd_quadratic_interpolate_with_return(simd_load(ln + i), simd_load(lp + i), simd_load(lo + i), f);
      const float4 r = simd_quadratic_interpolate_with_return(simd_load(rn + i), simd_load(rp + i), simd_load(ro + i), f);
      simd_store(left + j, simd_load(left + j) + gainLeft * (shape * l));
      simd_store(right + j, simd_load(right + j) + gainRight * (shape * r));
    }
  }
  keep(h);
  mLeftNewest = leftNewest;
  mLeftPrevious = leftPrevious;
  mLeftOldest = leftOldest;
  mRightNewest = rightNewest;
  mRightPrevious = rightPrevious;
  mRightOldest = rightOldest;
  endFrame(count);
  od::AudioThread::releaseFrame(envelope);
}

} // namespace morpho
