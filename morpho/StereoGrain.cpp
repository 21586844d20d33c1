#include "StereoGrain.h"

#include <od/AudioThread.h>
#include <od/simd.h>

#include <dsp/Lanes.h>

#include <algorithm>
#include <climits>

namespace morpho {

StereoGrain::StereoGrain() = default;

StereoGrain::~StereoGrain() { setSample(nullptr); }

void StereoGrain::synthesize(StereoGrain *const *grains, int count, float *left, float *right) {
  Voice voices[kGroup];
  int voiceCount = 0, begin = INT_MAX, end = 0;
  for (int g = 0; g < std::min(count, kGroup); g++) {
    StereoGrain *grain = grains[g];
    const int n = grain->beginFrame();
    if (n == 0) continue;
    float *envelope = od::AudioThread::getFrame();
    if (!envelope) continue; // no scratch frame: the grain waits for the next frame
    grain->generateEnvelope(envelope + grain->mDelay, n);
    voices[voiceCount++] = {grain,
                            envelope,
                            grain->mDelay,
                            grain->mDelay + n,
                            grain->playhead(),
                            grain->mLeftNewest,
                            grain->mLeftPrevious,
                            grain->mLeftOldest,
                            grain->mRightNewest,
                            grain->mRightPrevious,
                            grain->mRightOldest};
    begin = std::min(begin, grain->mDelay);
    end = std::max(end, grain->mDelay + n);
  }
  for (int first = begin; first < end; first += kChunk) {
    const int chunk = std::min(kChunk, end - first);
    if (walkTogether(voices, voiceCount, first, chunk)) {
      switch ((voiceCount + 1) / 2) {
      case 1: renderTogether<1>(voices, voiceCount, first, chunk, left, right); break;
      case 2: renderTogether<2>(voices, voiceCount, first, chunk, left, right); break;
      case 3: renderTogether<3>(voices, voiceCount, first, chunk, left, right); break;
      default: renderTogether<4>(voices, voiceCount, first, chunk, left, right); break;
      }
      continue;
    }
    for (int g = 0; g < voiceCount; g++) {
      Voice &v = voices[g];
      const int from = std::max(first, v.begin), to = std::min(first + chunk, v.end);
      if (from < to) renderAlone(v, from, to, left, right);
    }
  }
  for (int g = 0; g < voiceCount; g++) {
    const Voice &v = voices[g];
    StereoGrain *grain = v.grain;
    grain->keep(v.h);
    grain->mLeftNewest = v.leftNewest;
    grain->mLeftPrevious = v.leftPrevious;
    grain->mLeftOldest = v.leftOldest;
    grain->mRightNewest = v.rightNewest;
    grain->mRightPrevious = v.rightPrevious;
    grain->mRightOldest = v.rightOldest;
    grain->endFrame(v.end - v.begin);
    od::AudioThread::releaseFrame(v.envelope);
  }
}

// Grains walk as lanes through a chunk when there are several, all of one sample, all
// sounding through the whole chunk and all on a straight stretch for it.
bool StereoGrain::walkTogether(const Voice *voices, int count, int first, int chunk) {
  if (count < 2) return false;
  for (int g = 0; g < count; g++) {
    const Voice &v = voices[g];
    if (v.grain->mSample != voices[0].grain->mSample || v.begin > first || v.end < first + chunk ||
        !straightAhead(v.h, chunk))
      return false;
  }
  return true;
}

void StereoGrain::renderAlone(Voice &v, int from, int to, float *left, float *right) {
  const float *data = v.grain->mSample->data();
  const int channels = v.grain->mSample->channels();
  // Walks the source (a scalar chain: every step depends on the previous fraction), keeping
  // the history of every output, then mixes four outputs at a time.
  Playhead &h = v.h;
  const auto read = [&](int p) {
    v.leftOldest = v.leftPrevious;
    v.leftPrevious = v.leftNewest;
    v.leftNewest = data[(long long)p * channels];
    v.rightOldest = v.rightPrevious;
    v.rightPrevious = v.rightNewest;
    v.rightNewest = data[(long long)p * channels + 1];
  };
  alignas(16) float ln[kChunk], lp[kChunk], lo[kChunk], rn[kChunk], rp[kChunk], ro[kChunk], fraction[kChunk];
  const int chunk = to - from;
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
    v.leftNewest = ln[chunk - 1];
    v.leftPrevious = lp[chunk - 1];
    v.leftOldest = lo[chunk - 1];
    v.rightNewest = rn[chunk - 1];
    v.rightPrevious = rp[chunk - 1];
    v.rightOldest = ro[chunk - 1];
  } else for (int i = 0; i < chunk; i++) {
    advance(h, read);
    ln[i] = v.leftNewest;
    lp[i] = v.leftPrevious;
    lo[i] = v.leftOldest;
    rn[i] = v.rightNewest;
    rp[i] = v.rightPrevious;
    ro[i] = v.rightOldest;
    fraction[i] = h.fraction;
  }
  const float gainLeft = v.grain->mGainLeft, gainRight = v.grain->mGainRight;
  for (int i = 0; i < chunk; i += 4) {
    const int j = from + i;
    const float4 f = simd_load(fraction + i);
    const float4 shape = simd_load(v.envelope + j);
    const float4 l = simd_quadratic_interpolate_with_return(simd_load(ln + i), simd_load(lp + i), simd_load(lo + i), f);
    const float4 r = simd_quadratic_interpolate_with_return(simd_load(rn + i), simd_load(rp + i), simd_load(ro + i), f);
    simd_store(left + j, simd_load(left + j) + gainLeft * (shape * l));
    simd_store(right + j, simd_load(right + j) + gainRight * (shape * r));
  }
}

// The walk of renderAlone's straight stretch with the grains side by side: a vector holds two
// grains, the left and the right channel of each, so one step moves both fraction chains and
// kPairs vectors move side by side. Each block of four outputs is turned to a grain's channel a
// row and mixed grain after grain as renderAlone mixes.
template <int kPairs>
void StereoGrain::renderTogether(Voice *voices, int count, int first, int chunk, float *left, float *right) {
  const float *data = voices[0].grain->mSample->data();
  const long long channels = voices[0].grain->mSample->channels();
  Playhead *heads[kGroup];
  for (int g = 0; g < count; g++) heads[g] = &voices[g].h;
  PlayheadLanes walk[kPairs];
  long long behind[2 * kPairs];
  for (int p = 0; p < kPairs; p++) {
    walk[p] = lanes(heads + 2 * p, std::min(count - 2 * p, 2), 2);
    behind[2 * p] = walk[p].behind[0] * channels;
    behind[2 * p + 1] = walk[p].behind[2] * channels;
  }
  float4 newest[kPairs], previous[kPairs], oldest[kPairs];
  for (int i = 0; i < chunk; i += 4) {
    float4 rows[kPairs][4]; // rows[p][s]: output s of the block of pair p
    for (int s = 0; s < 4; s++) {
      for (int p = 0; p < kPairs; p++) {
        straightStep(walk[p]);
        const long long da = behind[2 * p], db = behind[2 * p + 1];
        const float *a = data + (long long)walk[p].position[0] * channels + da;
        const float *b = data + (long long)walk[p].position[2] * channels + db;
        newest[p] = dsp::pairLanes(a, b);
        previous[p] = dsp::pairLanes(a + da, b + db);
        oldest[p] = dsp::pairLanes(a + 2 * da, b + 2 * db);
        rows[p][s] = simd_quadratic_interpolate_with_return(newest[p], previous[p], oldest[p], walk[p].fraction);
      }
    }
    // Now rows[p][0] and [1] are the left and the right outputs of the pair's first grain,
    // [2] and [3] those of its second.
    for (int p = 0; p < kPairs; p++) dsp::transposeLanes(rows[p][0], rows[p][1], rows[p][2], rows[p][3]);
    const int j = first + i;
    for (int g = 0; g < count; g++) {
      const Voice &v = voices[g];
      const float4 *row = rows[g / 2] + 2 * (g % 2);
      const float4 shape = simd_load(v.envelope + j);
      simd_store(left + j, simd_load(left + j) + v.grain->mGainLeft * (shape * row[0]));
      simd_store(right + j, simd_load(right + j) + v.grain->mGainRight * (shape * row[1]));
    }
  }
  for (int p = 0; p < kPairs; p++) keep(walk[p], heads + 2 * p, std::min(count - 2 * p, 2), 2);
  for (int g = 0; g < count; g++) {
    Voice &v = voices[g];
    const int lane = 2 * (g % 2);
    v.leftNewest = newest[g / 2][lane];
    v.leftPrevious = previous[g / 2][lane];
    v.leftOldest = oldest[g / 2][lane];
    v.rightNewest = newest[g / 2][lane + 1];
    v.rightPrevious = previous[g / 2][lane + 1];
    v.rightOldest = oldest[g / 2][lane + 1];
  }
}

} // namespace morpho
