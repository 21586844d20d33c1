#include "StereoGrain.h"

#include <od/AudioThread.h>
#include <od/simd.h>

#include <dsp/Lanes.h>

#include <algorithm>
#include <climits>

namespace morpho {

namespace {
// Channels of the samples whose grains walk together.
constexpr int kChannels = 2;
} // namespace

StereoGrain::StereoGrain() = default;

StereoGrain::~StereoGrain() { setSample(nullptr); }

void StereoGrain::synthesize(StereoGrain *const *grains, int count, float *left, float *right) {
  renderInGroups<Voice>(grains, count, [left, right](Voice *voices, int n) { render(voices, n, left, right); });
}

void StereoGrain::Voice::hold() {
  leftNewest = grain->mLeftNewest;
  leftPrevious = grain->mLeftPrevious;
  leftOldest = grain->mLeftOldest;
  rightNewest = grain->mRightNewest;
  rightPrevious = grain->mRightPrevious;
  rightOldest = grain->mRightOldest;
}

void StereoGrain::Voice::keep() {
  grain->mLeftNewest = leftNewest;
  grain->mLeftPrevious = leftPrevious;
  grain->mLeftOldest = leftOldest;
  grain->mRightNewest = rightNewest;
  grain->mRightPrevious = rightPrevious;
  grain->mRightOldest = rightOldest;
}

// Each chunk of the frame is walked first, grain by grain or with the grains on straight
// stretches side by side (walkTogether), into each voice's outputs; then every voice is mixed
// into the frame's outputs in the order given.
void StereoGrain::render(Voice *voices, int voiceCount, float *left, float *right) {
  // Grains of the first one's sample, if it has two channels, can walk together.
  const od::Sample *sample = voices[0].grain->mSample;
  walkChunks(
      voices, voiceCount, [sample](const Voice &v) { return v.grain->mSample == sample && sample->channels() == kChannels; },
      walkAlone,
      [](Voice *const *list, int count, int chunk) {
        switch ((count + 1) / 2) {
        case 1: walkTogether<1>(list, count, chunk); break;
        case 2: walkTogether<2>(list, count, chunk); break;
        case 3: walkTogether<3>(list, count, chunk); break;
        default: walkTogether<4>(list, count, chunk); break;
        }
      },
      [left, right](const Voice &v, int first) {
        const float gainLeft = v.grain->mGainLeft, gainRight = v.grain->mGainRight;
        for (int j = v.from; j < v.to; j += 4) {
          const float4 shape = simd_load(v.envelope + j);
          simd_store(left + j, simd_load(left + j) + gainLeft * (shape * simd_load(v.left + (j - first))));
          simd_store(right + j, simd_load(right + j) + gainRight * (shape * simd_load(v.right + (j - first))));
        }
      });
}

void StereoGrain::walkAlone(Voice &v, int first) {
  const float *data = v.grain->mSample->data();
  const int channels = v.grain->mSample->channels();
  // Walks the source (a scalar chain: every step depends on the previous fraction), keeping
  // the history of every output, then interpolates four outputs at a time.
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
  const int chunk = v.to - v.from;
  if (chunk <= 0) return;
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
  const int offset = v.from - first;
  for (int i = 0; i < chunk; i += 4) {
    const float4 f = simd_load(fraction + i);
    simd_store(v.left + offset + i, simd_quadratic_interpolate_with_return(simd_load(ln + i), simd_load(lp + i),
                                                                          simd_load(lo + i), f));
    simd_store(v.right + offset + i, simd_quadratic_interpolate_with_return(simd_load(rn + i), simd_load(rp + i),
                                                                           simd_load(ro + i), f));
  }
}

// walkAlone's straight stretch with the grains side by side: a vector holds two grains, the
// left and the right channel of each, so one step moves both fraction chains, and kPairs
// vectors step in one loop. Each block of four outputs is turned to a grain's channel a row.
template <int kPairs> void StereoGrain::walkTogether(Voice *const *voices, int count, int chunk) {
  const float *data = voices[0]->grain->mSample->data();
  const long long channels = kChannels;
  Playhead *heads[kGroupMost];
  for (int g = 0; g < count; g++) heads[g] = &voices[g]->h;
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
    // Unrolled, so that the read state of every pair stays in registers.
#pragma GCC unroll 4
    for (int s = 0; s < 4; s++) {
#pragma GCC unroll 4
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
    for (int g = 0; g < count; g++) {
      const float4 *row = rows[g / 2] + 2 * (g % 2);
      simd_store(voices[g]->left + i, row[0]);
      simd_store(voices[g]->right + i, row[1]);
    }
  }
  for (int p = 0; p < kPairs; p++) keep(walk[p], heads + 2 * p, std::min(count - 2 * p, 2), 2);
  for (int g = 0; g < count; g++) {
    Voice &v = *voices[g];
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
