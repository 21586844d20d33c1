#include "MorphoHead.h"

#include <od/config.h>

#include <dsp/Clamp.h>

#include <algorithm>
#include <cmath>
#include <type_traits>

namespace morpho {

namespace {
// Samples shorter than this stay silent; samples shorter than twice it are one splice.
constexpr int kShortestSample = 64;
constexpr int kMostSplices = 32;
// Shortest "Gene Size" in seconds; below it a gene is the whole splice.
constexpr float kShortestGeneSize = 0.001f;
// Shortest gene in samples when the splice allows it.
constexpr int kShortestGene = 256;
// Trapezoid ramp as a fraction of the gene: 0.05 at "Morph" 0, rising by 0.4 to 0.45 at 1.
constexpr float kFadeAtRest = 0.05f;
constexpr float kFadePerMorph = 0.4f;
// Shortest trapezoid ramp and shortest interval between gene sets, in samples.
constexpr int kShortestFade = 32;
constexpr int kShortestInterval = 64;
// Octave layer: fades in from "Morph" 0.45 (amount (m - 0.45) * 1.9), level 0.6, pan +-0.4 m.
constexpr float kOctaveStart = 0.45f;
constexpr float kOctaveRise = 1.9f;
constexpr float kOctaveLevel = 0.6f;
constexpr float kOctavePan = 0.4f;
// Double-octave layer: fades in from "Morph" 0.8 (amount (m - 0.8) * 5), level 0.4, pan +-0.5.
constexpr float kDoubleStart = 0.8f;
constexpr float kDoubleRise = 5.0f;
constexpr float kDoubleLevel = 0.4f;
constexpr float kDoublePan = 0.5f;
// A layer sounds once its amount passes this.
constexpr float kLayerThreshold = 0.001f;
// Random offsets: a 24-bit draw u scaled by 2^-26 (octave, times morph) or 2^-25 (double octave).
constexpr float kOctaveOffsetScale = 1.0f / 67108864.0f;
constexpr float kDoubleOffsetScale = 1.0f / 33554432.0f;

float clampUnit(float x) { return dsp::clampNanLow(x, 0.0f, 1.0f); }

// xorshift32 step.
uint32_t nextRandom(uint32_t &x) {
  x ^= x << 13;
  x ^= x >> 17;
  x ^= x << 5;
  return x;
}

// Insertion sort by read position; grains at equal positions keep pool order.
template <typename G> void sortByPosition(G **grains, int count) {
  for (int i = 1; i < count; i++) {
    G *grain = grains[i];
    int j = i;
    for (; j > 0 && grains[j - 1]->position() > grain->position(); j--) grains[j] = grains[j - 1];
    grains[j] = grain;
  }
}
} // namespace

MorphoHead::MorphoHead(int channelCount) : mChannelCount(channelCount) {
  for (int i = 0; i < kPoolSize; i++) {
    mFreeStereo[i] = &mStereoGrains[kPoolSize - 1 - i];
    mFreeMono[i] = &mMonoGrains[kPoolSize - 1 - i];
    mStereoGrains[i].shareSineWindow(&mSineWindow);
    mMonoGrains[i].shareSineWindow(&mSineWindow);
  }
  mFreeStereoCount = kPoolSize;
  mFreeMonoCount = kPoolSize;
  addInput(mSpeed);
  addInput(mTrigger);
  addOutput(mLeftOut);
  addOutput(mRightOut);
  addParameter(mGeneSize);
  addParameter(mSlide);
  addParameter(mOrganize);
  addParameter(mMorph);
  addParameter(mGain);
  addParameter(mSquash);
  addParameter(mSplices);
}

MorphoHead::~MorphoHead() { setSample(nullptr); }

// The render gate keeps frames away from the change and other changes out until it is done;
// the ready flag stays down while there is no sample.
void MorphoHead::setSample(od::Sample *sample) {
  od::RenderGate::Change change(renderGate());
  mReady.store(false);
  stopAllGrains();
  od::Head::setSample(sample);
  const bool stereo = sample && mChannelCount == 2 && sample->channels() == 2;
  for (int i = 0; i < kPoolSize; i++) {
    mStereoGrains[i].setSample(stereo ? sample : nullptr);
    mMonoGrains[i].setSample(sample && !stereo ? sample : nullptr);
  }
  mSpawnCountdown = 0;
  mTriggerHigh = false;
  mAlternate = false;
  if (sample) mReady.store(true);
}

void MorphoHead::stopAllGrains() {
  for (int i = 0; i < kPoolSize; i++) {
    mStereoGrains[i].stop();
    mMonoGrains[i].stop();
    mFreeStereo[i] = &mStereoGrains[kPoolSize - 1 - i];
    mFreeMono[i] = &mMonoGrains[kPoolSize - 1 - i];
    mStereoGrains[i].shareSineWindow(&mSineWindow);
    mMonoGrains[i].shareSineWindow(&mSineWindow);
  }
  mFreeStereoCount = kPoolSize;
  mFreeMonoCount = kPoolSize;
}

MonoGrain *MorphoHead::getNextFreeMonoGrain() {
  if (!mReady.load() || mFreeMonoCount == 0) return nullptr;
  return mFreeMono[--mFreeMonoCount];
}

StereoGrain *MorphoHead::getNextFreeStereoGrain() {
  if (!mReady.load() || mFreeStereoCount == 0) return nullptr;
  return mFreeStereo[--mFreeStereoCount];
}

void MorphoHead::spawnGeneSet(int delay, float speed, int position, int size, int fade, float morph,
                              int regionStart, int regionLength, bool stereo) {
  const float squash = mSquash.value();
  const float gain = std::isfinite(mGain.value()) ? mGain.value() : 0.0f; // a broken gain is silence
  const float octave = clampUnit((morph - kOctaveStart) * kOctaveRise);
  const float doubleOctave = clampUnit((morph - kDoubleStart) * kDoubleRise);
  const float lo = kDoubleLevel * doubleOctave;
  const float mid = kOctaveLevel * octave;
  const float g = gain / sqrtf(lo * lo + mid * mid + 1.0f); // equal power across the layers
  // Starts one grain of the set when its pool has one free (skipped otherwise).
  const auto start = [&](int offset, float rate, float level, float pan, int envelope, int ramp) {
    Grain *grain = stereo ? static_cast<Grain *>(getNextFreeStereoGrain()) : getNextFreeMonoGrain();
    if (!grain) return;
    grain->setRegion(regionStart, regionLength);
    grain->init(position + offset, size, rate * speed, level, pan);
    grain->setEnvelope(envelope);
    grain->setFade(ramp);
    grain->setSquash(squash);
    grain->setDelay(delay);
  };

  start(0, 1.0f, g, 0.0f, Grain::kTrapezoid, fade);
  // The random state advances whenever a layer is due, whether or not a grain is free.
  if (octave > kLayerThreshold) {
    const float u = (float)(nextRandom(mRandomState) >> 8);
    const int offset = dsp::truncToInt((float)size * kOctaveOffsetScale * morph * u);
    const float pan = mAlternate ? kOctavePan * morph : -kOctavePan * morph;
    start(offset, 2.0f, g * kOctaveLevel * octave, pan, Grain::kSine, 0);
  }
  if (doubleOctave > kLayerThreshold) {
    const float u = (float)(nextRandom(mRandomState) >> 8);
    const int offset = dsp::truncToInt((float)size * kDoubleOffsetScale * u);
    const float pan = mAlternate ? -kDoublePan : kDoublePan;
    start(offset, 4.0f, g * kDoubleLevel * doubleOctave, pan, Grain::kSine, 0);
  }
  mAlternate = !mAlternate;
}

template <typename G> void MorphoHead::pushFree(G *grain) {
  if constexpr (std::is_same_v<G, MonoGrain>) {
    if (mFreeMonoCount < kPoolSize) mFreeMono[mFreeMonoCount++] = grain;
  } else {
    if (mFreeStereoCount < kPoolSize) mFreeStereo[mFreeStereoCount++] = grain;
  }
}

void MorphoHead::renderMonoGrains() {
  int count = 0;
  for (int i = 0; i < kPoolSize; i++)
    if (mMonoGrains[i].isActive()) mActiveMono[count++] = &mMonoGrains[i];
  sortByPosition(mActiveMono, count);
  const od::Sample *sample = this->sample();
  const int channels = sample ? sample->channels() : 0;
  if (channels != 1 && channels != 2) return;
  float *left = mLeftOut.buffer();
  float *right = mRightOut.buffer();
  // The grains add into the outputs in the order of the list.
  if (channels == 2) MonoGrain::synthesizeFromStereo(mActiveMono, count, left);
  else if (mChannelCount == 2) MonoGrain::synthesizeFromMonoToStereo(mActiveMono, count, left, right);
  else MonoGrain::synthesizeFromMonoToMono(mActiveMono, count, left);
  for (int i = 0; i < count; i++)
    if (!mActiveMono[i]->isActive()) pushFree(mActiveMono[i]);
}

void MorphoHead::renderStereoGrains() {
  int count = 0;
  for (int i = 0; i < kPoolSize; i++)
    if (mStereoGrains[i].isActive()) mActiveStereo[count++] = &mStereoGrains[i];
  sortByPosition(mActiveStereo, count);
  float *left = mLeftOut.buffer();
  float *right = mRightOut.buffer();
  // The grains add into the outputs in the order of the list.
  StereoGrain::synthesize(mActiveStereo, count, left, right);
  for (int i = 0; i < count; i++)
    if (!mActiveStereo[i]->isActive()) pushFree(mActiveStereo[i]);
}

void MorphoHead::process() {
  od::RenderGate::Frame frame(renderGate());
  const int length = globalConfig.frameLength;
  std::fill(mLeftOut.buffer(), mLeftOut.buffer() + length, 0.0f);
  if (mChannelCount > 1) std::fill(mRightOut.buffer(), mRightOut.buffer() + length, 0.0f);
  if (!frame.open() || !mReady.load()) return;
  const od::Sample *sample = this->sample();
  if (!sample || sample->frames() < kShortestSample) return;

  const bool stereo = mChannelCount == 2 && sample->channels() == 2;
  const int frames = sample->frames();

  int splices = 1;
  if (frames >= 2 * kShortestSample) {
    splices = std::min(std::max(dsp::truncToInt(mSplices.value() + 0.5f), 1), kMostSplices);
    splices = std::min(splices, frames / kShortestSample);
  }
  const float organize = mOrganize.value();
  const int splice = organize > 0.0f ? std::min(dsp::truncToInt(std::min(organize, 1.0f) * (float)splices), splices - 1) : 0;
  const int spliceStart = (int)((long long)splice * frames / splices);
  const int spliceLength = (int)((long long)(splice + 1) * frames / splices) - spliceStart;

  const float slide = mSlide.value();
  const int offset = slide > 0.0f ? dsp::truncToInt(std::min(slide, 1.0f) * (float)(spliceLength - 1)) : 0;
  const int start = spliceStart + offset;
  setPlayPosition(start);

  int gene = spliceLength;
  const float geneSize = mGeneSize.value();
  if (!(geneSize < kShortestGeneSize)) {
    gene = std::min(dsp::truncToInt(geneSize * (float)sampleRate()), spliceLength);
    gene = std::max(gene, std::min(spliceLength, kShortestGene));
  }

  const float morph = clampUnit(mMorph.value());
  const float fadeFraction = kFadeAtRest + kFadePerMorph * morph;
  const int fade = std::max(dsp::truncToInt(fadeFraction * (float)gene), kShortestFade);
  const int interval = std::max(gene - fade, kShortestInterval);

  const float *trigger = mTrigger.buffer();
  const float *speed = mSpeed.buffer();
  const int n = length & ~3;
  for (int i = 0; i < n; i++) {
    // A rising edge starts a set at once; otherwise sets follow every interval samples.
    const bool high = trigger[i] > 0.0f;
    const bool rising = high && !mTriggerHigh;
    mTriggerHigh = high;
    if (!rising && mSpawnCountdown > 0) {
      mSpawnCountdown--;
      continue;
    }
    spawnGeneSet(i, speed[i], start, gene, fade, morph, spliceStart, spliceLength, stereo);
    mSpawnCountdown = interval - 1;
  }

  if (stereo) renderStereoGrains();
  else renderMonoGrains();
}

} // namespace morpho
