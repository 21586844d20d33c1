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
  const auto read = [&](int p) {
    mLeftOldest = mLeftPrevious;
    mLeftPrevious = mLeftNewest;
    mLeftNewest = data[p * channels];
    mRightOldest = mRightPrevious;
    mRightPrevious = mRightNewest;
    mRightNewest = data[p * channels + 1];
  };
  for (int j = mDelay; j < mDelay + count; j += 4) {
    float4 leftNewest, leftPrevious, leftOldest, rightNewest, rightPrevious, rightOldest, fraction;
    for (int lane = 0; lane < 4; lane++) {
      advance(read);
      leftNewest[lane] = mLeftNewest;
      leftPrevious[lane] = mLeftPrevious;
      leftOldest[lane] = mLeftOldest;
      rightNewest[lane] = mRightNewest;
      rightPrevious[lane] = mRightPrevious;
      rightOldest[lane] = mRightOldest;
      fraction[lane] = mFraction;
    }
    const float4 shape = simd_load(envelope + j);
    const float4 l = simd_quadratic_interpolate_with_return(leftNewest, leftPrevious, leftOldest, fraction);
    const float4 r = simd_quadratic_interpolate_with_return(rightNewest, rightPrevious, rightOldest, fraction);
    simd_store(left + j, simd_load(left + j) + mGainLeft * (shape * l));
    simd_store(right + j, simd_load(right + j) + mGainRight * (shape * r));
  }
  endFrame(count);
  od::AudioThread::releaseFrame(envelope);
}

} // namespace morpho
