#include "StereoGrain.h"

#include <od/AudioThread.h>
#include <od/simd.h>

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
  // The interpolation history lives in locals for the frame: stores to the outputs could
  // otherwise alias the members and force them through memory on every read.
  float leftNewest = mLeftNewest, leftPrevious = mLeftPrevious, leftOldest = mLeftOldest;
  float rightNewest = mRightNewest, rightPrevious = mRightPrevious, rightOldest = mRightOldest;
  const auto read = [&](int p) {
    leftOldest = leftPrevious;
    leftPrevious = leftNewest;
    leftNewest = data[p * channels];
    rightOldest = rightPrevious;
    rightPrevious = rightNewest;
    rightNewest = data[p * channels + 1];
  };
  for (int j = mDelay; j < mDelay + count; j += 4) {
    float4 ln, lp, lo, rn, rp, ro, fraction;
    for (int lane = 0; lane < 4; lane++) {
      advance(read);
      ln[lane] = leftNewest;
      lp[lane] = leftPrevious;
      lo[lane] = leftOldest;
      rn[lane] = rightNewest;
      rp[lane] = rightPrevious;
      ro[lane] = rightOldest;
      fraction[lane] = mFraction;
    }
    const float4 shape = simd_load(envelope + j);
    const float4 l = simd_quadratic_interpolate_with_return(ln, lp, lo, fraction);
    const float4 r = simd_quadratic_interpolate_with_return(rn, rp, ro, fraction);
    simd_store(left + j, simd_load(left + j) + mGainLeft * (shape * l));
    simd_store(right + j, simd_load(right + j) + mGainRight * (shape * r));
  }
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
