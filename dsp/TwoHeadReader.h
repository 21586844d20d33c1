#pragma once

// Two-head crossfading reader, the core of the pitch-shifting delay readers.
//
// A delay line is read by two linearly interpolating heads half a window apart. A head's
// phase t in [0, 1) places it at origin + t * span samples and weights it with the sine
// window B(t), so each head is silent exactly when it jumps from one end of its window to
// the other, and the pair forms an equal-power crossfade.
//
//   - A reader that looks back from a base position b over a window of W samples passes
//     origin = b and span = -W (heads at b - t W).
//   - A loop of S samples ending at a point e passes origin = e - S and span = S.
//   - Advancing the phase by (1 - r) / W per sample (advancePhase) plays the line at
//     ratio r: r = 1 holds the heads still, r > 1 moves them towards the write position,
//     a negative r plays the window backwards.
//
// Positions are wrapped once into the line (dsp/DelayLine.h): callers keep
// origin + t * span within [-len, len). A position that rounds to len reads index 0.

#include <dsp/DelayLine.h>
#include <dsp/SineWindow.h>

#include <cmath>

namespace dsp {

// phase + step reduced to [0, 1) with floor. A tiny negative sum, whose reduction rounds
// up to exactly 1 in float, gives 0 (the same point of the cycle).
inline float advancePhase(float phase, float step) {
  phase += step;
  phase -= floorf(phase);
  return phase < 1.0f ? phase : 0.0f;
}

// The second head's phase: phase + 0.5, minus 1 if that is 1 or more.
inline float oppositePhase(float phase) {
  const float other = phase + 0.5f;
  return other >= 1.0f ? other - 1.0f : other;
}

// advancePhase, oppositePhase and twoHeadRead on four lanes, the same arithmetic on each.
inline float4 advancePhase(float4 phase, float4 step) {
  phase += step;
  phase -= floorLanes(phase);
  return phase < 1.0f ? phase : simd_set(0.0f);
}

inline float4 oppositePhase(float4 phase) {
  const float4 other = phase + 0.5f;
  return other >= 1.0f ? other - 1.0f : other;
}

// The two heads weighted by the window, each read with `read` (a four-lane linear read).
template <typename Read> inline float4 twoHeads(Read read, float4 origin, float span, float4 phase) {
  const float4 other = oppositePhase(phase);
  const float4 valueA = read(origin + phase * span);
  const float4 valueB = read(origin + other * span);
  return valueA * sineWindow(phase) + valueB * sineWindow(other);
}

inline float4 twoHeadRead(const float *line, int len, float4 origin, float span, float4 phase) {
  return twoHeads([=](float4 position) { return readLinearWrapped(line, len, position); }, origin, span, phase);
}

// twoHeadRead on a guarded line (dsp/DelayLine.h), with the same values.
inline float4 twoHeadReadGuarded(const float *line, int len, float4 origin, float span, float4 phase) {
  return twoHeads([=](float4 position) { return readLinearWrappedGuarded(line, len, position); }, origin, span, phase);
}

// Value of the two heads at `phase`:
//   read(origin + phase * span) * B(phase) + read(origin + phase' * span) * B(phase'),
// phase' = oppositePhase(phase), each read wrapped once and linearly interpolated.
inline float twoHeadRead(const float *line, int len, float origin, float span, float phase) {
  const float other = oppositePhase(phase);
  const float valueA = readLinearWrapped(line, len, origin + phase * span);
  const float valueB = readLinearWrapped(line, len, origin + other * span);
  return valueA * sineWindow(phase) + valueB * sineWindow(other);
}

} // namespace dsp
