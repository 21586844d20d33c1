#include "MonoGrain.h"

#include <od/AudioThread.h>
#include <od/simd.h>

#include <algorithm>
#include <climits>

namespace morpho {

MonoGrain::MonoGrain() = default;
MonoGrain::~MonoGrain() = default;

// As StereoGrain::synthesize: each chunk is walked first, grain by grain or with the grains on
// straight stretches side by side, then every voice is mixed in the order given.
template <typename Value, typename Mix>
void MonoGrain::synthesize(MonoGrain *const *grains, int count, Value value, Mix mix) {
  renderInGroups<Voice>(grains, count, [value, mix](Voice *voices, int n) { render(voices, n, value, mix); });
}

void MonoGrain::Voice::hold() {
  newest = grain->mNewest;
  previous = grain->mPrevious;
  oldest = grain->mOldest;
}

void MonoGrain::Voice::keep() {
  grain->mNewest = newest;
  grain->mPrevious = previous;
  grain->mOldest = oldest;
}

template <typename Value, typename Mix> void MonoGrain::render(Voice *voices, int voiceCount, Value value, Mix mix) {
  // Grains of the first one's sample can walk together.
  const od::Sample *sample = voices[0].grain->mSample;
  walkChunks(
      voices, voiceCount, [sample](const Voice &v) { return v.grain->mSample == sample; },
      [value](Voice &v, int first) { walkAlone(v, first, value); },
      [value](Voice *const *list, int count, int chunk) {
        if (count > kLanes) walkTogether<2>(list, count, chunk, value);
        else walkTogether<1>(list, count, chunk, value);
      },
      [mix](const Voice &v, int first) {
        for (int j = v.from; j < v.to; j += 4) mix(v, j, simd_load(v.envelope + j) * simd_load(v.out + (j - first)));
      });
}

template <typename Value> void MonoGrain::walkAlone(Voice &v, int first, Value value) {
  // Walks the source (see StereoGrain::walkAlone), then interpolates four outputs at a time.
  value.data = v.grain->mSample->data();
  Playhead &h = v.h;
  const auto read = [&](int p) {
    v.oldest = v.previous;
    v.previous = v.newest;
    v.newest = value(p);
  };
  alignas(16) float newest[kChunk], previous[kChunk], oldest[kChunk], fraction[kChunk];
  const int chunk = v.to - v.from;
  if (chunk <= 0) return;
  if (straightAhead(h, chunk)) {
    // No wraps ahead: the history is read straight from the three frames behind the position.
    for (int i = 0; i < chunk; i++) {
      const int d = straightStep(h);
      newest[i] = value(h.position + d);
      previous[i] = value(h.position + 2 * d);
      oldest[i] = value(h.position + 3 * d);
      fraction[i] = h.fraction;
    }
    v.newest = newest[chunk - 1];
    v.previous = previous[chunk - 1];
    v.oldest = oldest[chunk - 1];
  } else for (int i = 0; i < chunk; i++) {
    advance(h, read);
    newest[i] = v.newest;
    previous[i] = v.previous;
    oldest[i] = v.oldest;
    fraction[i] = h.fraction;
  }
  float *out = v.out + (v.from - first);
  for (int i = 0; i < chunk; i += 4)
    simd_store(out + i, simd_quadratic_interpolate_with_return(simd_load(newest + i), simd_load(previous + i),
                                                               simd_load(oldest + i), simd_load(fraction + i)));
}

// walkAlone's straight stretch with the grains side by side, a lane each in kVectors vectors
// stepping in one loop. Each block of four outputs is turned to a grain a row.
template <int kVectors, typename Value>
void MonoGrain::walkTogether(Voice *const *voices, int count, int chunk, Value value) {
  value.data = voices[0]->grain->mSample->data();
  Playhead *heads[kGroupMost];
  for (int g = 0; g < count; g++) heads[g] = &voices[g]->h;
  PlayheadLanes walk[kVectors];
  for (int k = 0; k < kVectors; k++) walk[k] = lanes(heads + kLanes * k, std::min(count - kLanes * k, kLanes), 1);
  float4 newest[kVectors], previous[kVectors], oldest[kVectors];
  for (int i = 0; i < chunk; i += 4) {
    float4 rows[kVectors][4]; // rows[k][s]: output s of the block of vector k
    // Unrolled, so that the read state of every vector stays in registers.
#pragma GCC unroll 4
    for (int s = 0; s < 4; s++) {
#pragma GCC unroll 2
      for (int k = 0; k < kVectors; k++) {
        straightStep(walk[k]);
        const dsp::int4 at = walk[k].position + walk[k].behind;
        newest[k] = value.lanes(at);
        previous[k] = value.lanes(at + walk[k].behind);
        oldest[k] = value.lanes(at + 2 * walk[k].behind);
        rows[k][s] = simd_quadratic_interpolate_with_return(newest[k], previous[k], oldest[k], walk[k].fraction);
      }
    }
    for (int k = 0; k < kVectors; k++) dsp::transposeLanes(rows[k][0], rows[k][1], rows[k][2], rows[k][3]);
    for (int g = 0; g < count; g++) simd_store(voices[g]->out + i, rows[g / kLanes][g % kLanes]);
  }
  for (int k = 0; k < kVectors; k++) keep(walk[k], heads + kLanes * k, std::min(count - kLanes * k, kLanes), 1);
  for (int g = 0; g < count; g++) {
    Voice &v = *voices[g];
    v.newest = newest[g / kLanes][g % kLanes];
    v.previous = previous[g / kLanes][g % kLanes];
    v.oldest = oldest[g / kLanes][g % kLanes];
  }
}

namespace {
// A mono sample's frames.
struct MonoValue {
  const float *data = nullptr;
  float operator()(int p) const { return data[p]; }
  float4 lanes(dsp::int4 p) const { return float4{data[p[0]], data[p[1]], data[p[2]], data[p[3]]}; }
};
// The mean of a stereo sample's two channels.
struct MeanValue {
  const float *data = nullptr;
  float operator()(int p) const { return (data[2 * (long long)p] + data[2 * (long long)p + 1]) * 0.5f; }
  float4 lanes(dsp::int4 p) const {
    const float4 first = {data[2 * (long long)p[0]], data[2 * (long long)p[1]], data[2 * (long long)p[2]],
                          data[2 * (long long)p[3]]};
    const float4 second = {data[2 * (long long)p[0] + 1], data[2 * (long long)p[1] + 1],
                           data[2 * (long long)p[2] + 1], data[2 * (long long)p[3] + 1]};
    return (first + second) * 0.5f;
  }
};
// out[0..3] += gain * shaped
void addScaled(float *out, float gain, float4 shaped) { simd_store(out, simd_load(out) + gain * shaped); }
} // namespace

void MonoGrain::synthesizeFromMonoToMono(MonoGrain *const *grains, int count, float *out) {
  synthesize(grains, count, MonoValue{},
             [out](const Voice &v, int j, float4 shaped) { addScaled(out + j, v.grain->mGainLeft, shaped); });
}

void MonoGrain::synthesizeFromMonoToStereo(MonoGrain *const *grains, int count, float *left, float *right) {
  synthesize(grains, count, MonoValue{}, [left, right](const Voice &v, int j, float4 shaped) {
    addScaled(left + j, v.grain->mGainLeft, shaped);
    addScaled(right + j, v.grain->mGainRight, shaped);
  });
}

void MonoGrain::synthesizeFromStereo(MonoGrain *const *grains, int count, float *out) {
  synthesize(grains, count, MeanValue{},
             [out](const Voice &v, int j, float4 shaped) { addScaled(out + j, v.grain->mGainLeft, shaped); });
}

} // namespace morpho
