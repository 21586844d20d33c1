#pragma once

#include <od/AudioThread.h>
#include <od/Sample.h>
#include <od/config.h>

#include <dsp/Vector.h>

#include <algorithm>
#include <climits>
#include <cmath>

namespace morpho {

// Sine window values shared by the grains of one player. A grain's sine window depends only on
// its duration, so grains of equal duration (the layers of a gene set, and set after set while
// the gene size stays) read what the first of them computed instead of computing it again.
// The first fresh grain of another duration takes the table over.
struct SineWindowTable {
  static constexpr int kCapacity = 8192; // outputs held (longer grains compute the rest)
  int duration = 0;                      // the grain duration the values belong to; 0: none
  int filled = 0;                        // outputs held so far, a multiple of 4
  float phase[kCapacity];                // window phase of each output
  float value[kCapacity];                // the window at that phase
};

// One grain: a stretch of a sample read from a start position at a fixed rate, shaped by an
// envelope, panned, and started a whole number of samples into the host frame. This base holds
// everything that does not depend on the sample's channel layout; MonoGrain and StereoGrain
// read and mix. Positions and lengths of the sample count source frames.
class Grain {
public:
  // Envelope codes.
  static constexpr int kSine = 0;
  static constexpr int kHanning = 1;
  static constexpr int kTrapezoid = 2;

  // Shortest grain, in output samples.
  static constexpr int kMinimumDuration = 64;
  // Grains rendered together, a vector lane each, and the most grains in one group.
  static constexpr int kLanes = 4;
  static constexpr int kGroupMost = 2 * kLanes;

  Grain();
  virtual ~Grain();
  Grain(const Grain &) = delete;
  Grain &operator=(const Grain &) = delete;

  // Stops the grain and swaps the sample it holds a reference on; the region becomes the
  // whole sample, or (0, 0) without one.
  void setSample(od::Sample *sample);
  void setRegion(int start, int length);
  // Maps any source frame index into the region, wrapping at both ends.
  int wrapIndex(int index) const {
    // Inside the region (the case of nearly every read) the index stands as it is.
    if (index >= mRegionStart && (long long)index < (long long)mRegionStart + mRegionLength) return index;
    return wrapWide(index);
  }

  void init(int position, int size, float speed, float gain, float pan);
  void setEnvelope(int code);
  void setFade(int samples);
  void setSquash(float squash);
  // Shares sine window values with the other grains that use `table` (null: none).
  void shareSineWindow(SineWindowTable *table) { mSineTable = table; }
  void setDelay(int samples);
  void stop();

  // Source frames the rest of the grain moves through.
  int samplesRequired() const;
  // Moves the position to a zero crossing of the first channel within `range` frames.
  void snapToZeroCrossing(int range);

  void generateEnvelope(float *out, int count);
  void generateSineWindow(float *out, int count);
  void generateHanningWindow(float *out, int count);
  void generateTrapezoidWindow(float *out, int count);
  void squashEnvelope(float *out, int count);

  od::Sample *sample() const { return mSample; }
  int envelope() const { return mEnvelope; }
  int fade() const { return mFade; }
  int position() const { return mPosition; }
  int duration() const { return mDuration; }
  int remaining() const { return mRemaining; }
  int delay() const { return mDelay; }
  float squash() const { return mSquash; }
  float rateRatio() const { return mRateRatio; }
  float step() const { return mStep; }
  float fraction() const { return mFraction; }
  float gainLeft() const { return mGainLeft; }
  float gainRight() const { return mGainRight; }
  bool isActive() const { return mActive; }
  int regionStart() const { return mRegionStart; }
  int regionLength() const { return mRegionLength; }

protected:
  // Outputs of this host frame the grain fills (steps before any reading): 0 when it is
  // finished or still waiting for its delay, which then counts down by the frame.
  int beginFrame();
  // The read state of a grain, copied into locals for a frame so that it stays in registers
  // (stores to the output buffers could otherwise alias the members).
  struct Playhead {
    int position;
    float fraction;
    float step;
    int regionStart;
    int regionLength;
    // How many of the newest history values came from consecutive source frames in the
    // direction of play, with no wrap between them (at most 3).
    int contiguous;
  };
  Playhead playhead() const { return {mPosition, mFraction, mStep, mRegionStart, mRegionLength, mContiguous}; }
  void keep(const Playhead &h) {
    mPosition = h.position;
    mFraction = h.fraction;
    mContiguous = h.contiguous;
  }
  // True when the history holds the three frames just behind the position and the next
  // `count` outputs read only inside the region: then, after each output, the history is the
  // three frames behind the position (see straightWalk), with no wraps to look for.
  static bool straightAhead(const Playhead &h, int count) {
    if (h.contiguous < 3) return false;
    const long long reach = (long long)count * ((long long)std::fabs(h.step) + 1);
    const long long end = (long long)h.regionStart + h.regionLength;
    return h.step >= 0.0f ? h.position >= h.regionStart && h.position + reach <= end
                          : h.position < end && h.position - reach >= (long long)h.regionStart - 1;
  }
  // Moves the position by one output sample on a straight stretch (straightAhead) and returns
  // the offset from the position to the newest frame; the previous frame is twice that
  // offset away and the oldest three times.
  static int straightStep(Playhead &h) {
    const float t = h.step + h.fraction;
    const int n = (int)t;
    h.fraction = t - (float)n;
    h.position += n;
    return h.step >= 0.0f ? -1 : 1;
  }
  // The read state of grains walking straight stretches together: each grain takes `spread`
  // neighbouring lanes (one per channel it reads), and lanes past the last grain repeat the
  // first, so that every lane reads real frames.
  struct PlayheadLanes {
    dsp::int4 position;
    float4 fraction;
    float4 step;
    dsp::int4 behind; // the offset from the position to the newest frame, as straightStep returns it
  };
  static PlayheadLanes lanes(Playhead *const *h, int count, int spread) {
    PlayheadLanes l;
    for (int lane = 0; lane < kLanes; lane++) {
      const int grain = lane / spread;
      const Playhead &g = *h[grain < count ? grain : 0];
      l.position[lane] = g.position;
      l.fraction[lane] = g.fraction;
      l.step[lane] = g.step;
      l.behind[lane] = g.step >= 0.0f ? -1 : 1;
    }
    return l;
  }
  static void keep(const PlayheadLanes &l, Playhead *const *h, int count, int spread) {
    for (int grain = 0; grain < count; grain++) {
      h[grain]->position = l.position[grain * spread];
      h[grain]->fraction = l.fraction[grain * spread];
    }
  }
  // straightStep on every lane: the same float and int arithmetic, each lane a grain.
  static void straightStep(PlayheadLanes &l) {
    const float4 t = l.step + l.fraction;
    const dsp::int4 n = dsp::truncateLanes(t);
    l.fraction = t - dsp::floatLanes(n);
    l.position += n;
  }
  // Moves the read position by one output sample and reads the source frames passed, at most
  // three; read(p) shifts the subclass's history and stores source frame p as the newest.
  template <typename Read> static void advance(Playhead &h, Read read);
  // Source frames read from the interpolation history per output sample, produced a chunk at a
  // time before the vector arithmetic: at most this many outputs (a multiple of 4).
  static constexpr int kChunk = 64;
  // Accounts for the `count` outputs just produced.
  void endFrame(int count);
  // A grain's state during one frame of a group: its envelope, the outputs it fills (begin..end),
  // those of the chunk being walked (from..to) and its read state in locals. A subclass's voice
  // adds the interpolation history, taken from the grain by hold() and handed back by keep().
  template <typename G> struct FrameVoice {
    G *grain;
    float *envelope;
    int begin, end, from, to;
    Playhead h;
  };
  // Renders one frame of every grain, in order, in groups of at most kGroupMost with
  // render(voices, n). Each grain that sounds in this frame gets a scratch frame holding its
  // envelope; one that gets none waits for the next host frame if its group is empty, and
  // otherwise ends the group, whose rendering frees the frames it holds.
  template <typename Voice, typename G, typename Render>
  static void renderInGroups(G *const *grains, int count, Render render) {
    for (int next = 0; next < count;) {
      Voice voices[kGroupMost];
      int taken = 0;
      for (; next < count && taken < kGroupMost; next++) {
        G *grain = grains[next];
        const int n = grain->beginFrame();
        if (n == 0) continue;
        float *envelope = od::AudioThread::getFrame();
        if (!envelope) {
          if (taken > 0) break;
          continue;
        }
        grain->generateEnvelope(envelope + grain->mDelay, n);
        Voice &v = voices[taken++];
        v.grain = grain;
        v.envelope = envelope;
        v.begin = grain->mDelay;
        v.end = grain->mDelay + n;
        v.h = grain->playhead();
        v.hold();
      }
      if (taken > 0) render(voices, taken);
      for (int g = 0; g < taken; g++) {
        Voice &v = voices[g];
        v.keep();
        v.grain->keep(v.h);
        v.grain->endFrame(v.end - v.begin);
        od::AudioThread::releaseFrame(v.envelope);
      }
    }
  }
  // Renders a group's frame chunk by chunk. In each chunk every voice (a grain's state for the
  // frame: begin..end, the outputs it fills; from..to, those of the chunk; h, its read state)
  // that sounds through the whole chunk on a straight stretch and joins(v) is walked with the
  // others like it by together(list, n, chunk) when there are several; the rest are walked
  // alone(v, first). Then mix(v, first) adds each voice in the order of the group.
  template <typename Voice, typename Joins, typename Alone, typename Together, typename Mix>
  static void walkChunks(Voice *voices, int count, Joins joins, Alone alone, Together together, Mix mix) {
    int begin = INT_MAX, end = 0;
    for (int g = 0; g < count; g++) {
      begin = std::min(begin, voices[g].begin);
      end = std::max(end, voices[g].end);
    }
    for (int first = begin; first < end; first += kChunk) {
      const int chunk = std::min(kChunk, end - first);
      Voice *list[kGroupMost];
      int listed = 0;
      for (int g = 0; g < count; g++) {
        Voice &v = voices[g];
        v.from = std::max(first, v.begin);
        v.to = std::min(first + chunk, v.end);
        if (v.from == first && v.to == first + chunk && joins(v) && straightAhead(v.h, chunk)) list[listed++] = &v;
        else if (v.from < v.to) alone(v, first);
      }
      if (listed == 1) alone(*list[0], first);
      else if (listed > 1) together(list, listed, chunk);
      for (int g = 0; g < count; g++) mix(voices[g], first);
    }
  }
  // wrapIndex for indices computed past the int range.
  int wrapWide(long long index) const { return wrapWide(index, mRegionStart, mRegionLength); }
  static int wrapWide(long long index, int regionStart, int regionLength);
  // wrapWide with the region inline: indices inside it stand as they are.
  static int wrapInline(long long index, int regionStart, int regionLength) {
    if (index >= regionStart && index < (long long)regionStart + regionLength) return (int)index;
    return wrapWide(index, regionStart, regionLength);
  }

  od::Sample *mSample = nullptr;
  SineWindowTable *mSineTable = nullptr;
  float mWindowPhase = 0.0f;
  float mWindowStep = 0.0f;
  int mEnvelope = kSine;
  int mFade = 0;
  int mPosition = 0;
  int mDuration = 0;
  int mRemaining = 0;
  int mDelay = 0;
  float mSquash = 0.0f;
  float mRateRatio = 1.0f;
  // The output period of the head the grain was built with (grains live inside their head).
  const float mOutputPeriod = globalConfig.samplePeriod;
  float mStep = 0.0f;
  float mFraction = 0.0f;
  int mContiguous = 0;
  float mGainLeft = 1.0f;
  float mGainRight = 1.0f;
  bool mActive = false;
  int mRegionStart = 0;
  int mRegionLength = 0;
};

template <typename Read> void Grain::advance(Playhead &h, Read read) {
  const float t = h.step + h.fraction;
  int n = (int)t; // |step| is limited by init, so t always fits an int
  h.fraction = t - (float)n;
  if (n > 0) {
    if (n > 3) {
      h.position = wrapInline((long long)h.position + n - 3, h.regionStart, h.regionLength);
      h.contiguous = 0;
      n = 3;
    }
    for (; n > 0; n--) {
      const int p = wrapInline(h.position, h.regionStart, h.regionLength);
      h.contiguous = p == h.position ? std::min(h.contiguous + 1, 3) : 1;
      read(p);
      h.position = p + 1;
    }
  } else if (n < 0) {
    if (n < -3) {
      h.position = wrapInline((long long)h.position + n + 3, h.regionStart, h.regionLength);
      h.contiguous = 0;
      n = -3;
    }
    for (; n < 0; n++) {
      const int p = wrapInline(h.position, h.regionStart, h.regionLength);
      h.contiguous = p == h.position ? std::min(h.contiguous + 1, 3) : 1;
      read(p);
      h.position = p - 1;
    }
  }
}

} // namespace morpho
