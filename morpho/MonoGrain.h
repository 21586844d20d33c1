#pragma once

#include "Grain.h"

namespace morpho {

// A grain that reads one value per source frame: a mono sample (to one or two outputs) or a
// stereo sample mixed down to the mean of its channels (to one output). Each operation renders
// one host frame and adds into the outputs, which the caller clears.
class MonoGrain : public Grain {
public:
  MonoGrain();
  ~MonoGrain() override;

  void synthesizeFromMonoToMono(float *out) { synthesizeFromMonoToMono(self(), 1, out); }
  void synthesizeFromMonoToStereo(float *left, float *right) { synthesizeFromMonoToStereo(self(), 1, left, right); }
  void synthesizeFromStereo(float *out) { synthesizeFromStereo(self(), 1, out); }
  // The same for `count` grains, added into the outputs one after another in the order given;
  // up to kGroupMost grains of one sample on straight stretches walk together.
  static void synthesizeFromMonoToMono(MonoGrain *const *grains, int count, float *out);
  static void synthesizeFromMonoToStereo(MonoGrain *const *grains, int count, float *left, float *right);
  static void synthesizeFromStereo(MonoGrain *const *grains, int count, float *out);

private:
  struct Self {
    MonoGrain *grain;
    operator MonoGrain *const *() const { return &grain; }
  };
  Self self() { return {this}; }

  // A grain during one frame (see FrameVoice), and its outputs from..to of the chunk walked
  // last, interpolated, before envelope and gain.
  struct Voice : FrameVoice<MonoGrain> {
    float newest, previous, oldest;
    alignas(16) float out[kChunk];
    void hold();
    void keep();
  };
  // Renders one frame of the grains, reading source frames with the Value (one frame's value,
  // or four lanes' at once) and adding each voice's enveloped outputs with mix(voice, index, values).
  template <typename Value, typename Mix>
  static void synthesize(MonoGrain *const *grains, int count, Value value, Mix mix);
  // Renders one frame of the voices.
  template <typename Value, typename Mix> static void render(Voice *voices, int count, Value value, Mix mix);
  template <typename Value> static void walkAlone(Voice &v, int first, Value value);
  template <int kVectors, typename Value> static void walkTogether(Voice *const *voices, int count, int chunk, Value value);

  // The last three source values read, newest first; kept from grain to grain.
  float mNewest = 0.0f;
  float mPrevious = 0.0f;
  float mOldest = 0.0f;
};

} // namespace morpho
