// The granular player with grains running: a two-second stereo phrase, genes of 50 ms
// crossfaded into each other with both octave layers joining ("Morph" 0.95), the train
// restarted twice a second and its speed drifting.

#include "BenchRegistry.h"

#include "morpho/MorphoHead.h"

#include <od/Sample.h>

#include <cmath>

namespace qvzbench {
namespace {

od::Object *makePlayingHead() {
  auto *head = new morpho::MorphoHead(2);
  constexpr int kFrames = 96000;
  od::Sample *sample = new od::Sample(2, kFrames, 48000.0f);
  for (int i = 0; i < kFrames; i++)
    for (int c = 0; c < 2; c++) sample->data()[i * 2 + c] = 0.5f * std::sin(0.031f * (float)i * (float)(c + 1));
  head->setSample(sample); // the head and its grains now hold the only references
  head->mGeneSize.hardSet(0.05f);
  head->mMorph.hardSet(0.95f);
  head->mSlide.hardSet(0.3f);
  head->mOrganize.hardSet(0.4f);
  return head;
}

RegisterBench morphoHead({"MorphoHead", makePlayingHead, 2,
                          {{"Trigger", pulses(2.0f)}, {"Speed", lfo(1.0f, 0.3f, 0.1f)}}, nullptr});

RegisterWorkCount morphoGrains({"MorphoHead", "grain", [](od::Object *o) {
                                  auto *head = static_cast<morpho::MorphoHead *>(o);
                                  return 2 * morpho::MorphoHead::kPoolSize - head->freeMonoCount() -
                                         head->freeStereoCount();
                                }});

} // namespace
} // namespace qvzbench
