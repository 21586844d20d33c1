#pragma once

// Reads from circular delay lines of `len` samples. A float read position is wrapped once
// (a position below 0 has len added) and read by linear interpolation. In float, a position
// a hair below 0 plus len rounds to exactly len, one past the end of the line: such a
// position reads index 0, the sample it stands for.

#include <dsp/Lanes.h>

namespace dsp {

// Adds len once to a position below 0. The result lies in [0, len] for any position in
// [-len, len); len itself is read as index 0 by readLinear.
inline float wrapReadPosition(float position, int len) {
  if (position < 0.0f) position += (float)len;
  return position;
}

// Linear interpolation at a position in [0, len]: index n = integer part, fraction
// f = position - n, value s[n] + (s[n + 1] - s[n]) * f, with n + 1 replaced by 0 when it
// reaches len and a position of exactly len reading index 0.
inline float readLinear(const float *line, int len, float position) {
  int n = (int)position;
  const float f = position - (float)n;
  if (n >= len) n -= len;
  int next = n + 1;
  if (next >= len) next = 0;
  return line[n] + (line[next] - line[n]) * f;
}

// Wraps a position in [-len, len) once and reads it by linear interpolation.
inline float readLinearWrapped(const float *line, int len, float position) {
  return readLinear(line, len, wrapReadPosition(position, len));
}

// The reads of readLinearWrapped at four positions: index n, its neighbour and the fraction
// of each lane, with the same arithmetic on each lane.
struct LinearReads {
  int4 n;
  int4 next;
  float4 f;
};

inline LinearReads linearReads(int len, float4 position) {
  const float4 wrapped = position < 0.0f ? position + (float)len : position;
  int4 n = truncateLanes(wrapped); // truncation, as (int)
  const float4 f = wrapped - floatLanes(n);
  n = n >= len ? n - len : n;
  const int4 next = n + 1;
  return {n, next >= len ? 0 : next, f};
}

// readLinearWrapped at four positions.
inline float4 readLinearWrapped(const float *line, int len, float4 position) {
  const LinearReads r = linearReads(len, position);
  const float4 a = {line[r.n[0]], line[r.n[1]], line[r.n[2]], line[r.n[3]]};
  const float4 b = {line[r.next[0]], line[r.next[1]], line[r.next[2]], line[r.next[3]]};
  return a + (b - a) * r.f;
}

// A guarded line: len samples followed by kLineGuard samples that mirror its first ones, so
// that a read at any index n in [0, len] finds its neighbour at n + 1 without a wrap test. Its
// memory holds len + kLineGuard floats, and every write goes through writeGuarded.
constexpr int kLineGuard = 2;

inline void writeGuarded(float *line, int len, int index, float value) {
  line[index] = value;
  if (index < kLineGuard) line[len + index] = value;
}

// readLinearWrapped at four positions of a guarded line, with the same values: each head's two
// samples are one pair at its index.
inline float4 readLinearWrappedGuarded(const float *line, int len, float4 position) {
  const float4 wrapped = position < 0.0f ? position + (float)len : position;
  const int4 n = truncateLanes(wrapped);
  const float4 f = wrapped - floatLanes(n);
  // The indices are never negative: as unsigned they need no sign extension.
  const float4 pairs01 = pairLanes(line + (unsigned)n[0], line + (unsigned)n[1]);
  const float4 pairs23 = pairLanes(line + (unsigned)n[2], line + (unsigned)n[3]);
  const float4 a = evenLanes(pairs01, pairs23);
  const float4 b = oddLanes(pairs01, pairs23);
  return a + (b - a) * f;
}

// readLinearWrapped at four positions about one sample apart going back (lane l near p - l).
// Where the indices are n0, n0 - 1, n0 - 2, n0 - 3 away from the line's ends, the samples
// come from two vector loads; elsewhere lane by lane. The same values either way.
inline float4 readLinearWrappedDescending(const float *line, int len, float4 position) {
  const float4 wrapped = position < 0.0f ? position + (float)len : position;
  const int4 n = truncateLanes(wrapped);
  const int n0 = n[0];
  // Indices below len - 1 need neither wrap of readLinear.
  if (n0 >= 3 && n0 + 1 < len && allLanes(n == n0 - int4{0, 1, 2, 3})) {
    const float4 f = wrapped - floatLanes(n);
    const float4 a = reversedLanes(simd_load(line + n0 - 3));
    const float4 b = reversedLanes(simd_load(line + n0 - 2));
    return a + (b - a) * f;
  }
  return readLinearWrapped(line, len, position);
}

// A finite position brought into [0, len) by adding or subtracting len as often as needed.
// A slightly negative position plus len can round to exactly len; the second loop takes
// that to 0, so the result never stands for the index one past the end.
inline float wrapIntoLine(float position, int len) {
  const float length = (float)len;
  while (position < 0.0f) position += length;
  while (position >= length) position -= length;
  return position;
}

// Catmull-Rom interpolation between p1 (t = 0) and p2 (t = 1), with p0 and p3 the outer
// neighbours.
inline float catmullRom(float p0, float p1, float p2, float p3, float t) {
  return p1 + t * (0.5f * (p2 - p0) +
                   t * (0.5f * (2.0f * p0 - 5.0f * p1 + 4.0f * p2 - p3) + t * 0.5f * (3.0f * p1 - p0 - 3.0f * p2 + p3)));
}

// Four-point read at a position in [0, len] (len reads as index 0): samples n - 1, n, n + 1
// and n + 2 around the integer part n, each wrapped around the line's ends (len >= 3).
inline float readCatmullRom(const float *line, int len, float position) {
  int n = (int)position;
  const float t = position - (float)n;
  if (n >= len) n -= len;
  const int before = n == 0 ? len - 1 : n - 1;
  const int next = n + 1 >= len ? 0 : n + 1;
  const int afterNext = next + 1 >= len ? 0 : next + 1;
  return catmullRom(line[before], line[n], line[next], line[afterNext], t);
}

// wrapIntoLine at four positions in [-len, len), where each of its loops runs at most once.
inline float4 wrapIntoLine(float4 position, int len) {
  const float length = (float)len;
  position = position < 0.0f ? position + length : position;
  return position >= length ? position - length : position;
}

// catmullRom on each lane.
inline float4 catmullRom(float4 p0, float4 p1, float4 p2, float4 p3, float4 t) {
  return p1 + t * (0.5f * (p2 - p0) +
                   t * (0.5f * (2.0f * p0 - 5.0f * p1 + 4.0f * p2 - p3) + t * 0.5f * (3.0f * p1 - p0 - 3.0f * p2 + p3)));
}

// readCatmullRom at four positions. Where every lane's four samples lie inside the line, each
// lane's are one vector load; elsewhere they are read one by one. The same values either way.
inline float4 readCatmullRom(const float *line, int len, float4 position) {
  int4 n = truncateLanes(position); // truncation, as (int)
  const float4 t = position - floatLanes(n);
  n = n >= len ? n - len : n;
  float4 p0, p1, p2, p3;
  if (allLanes((n >= 1) & (n + 2 < len))) {
    p0 = simd_load(line + n[0] - 1);
    p1 = simd_load(line + n[1] - 1);
    p2 = simd_load(line + n[2] - 1);
    p3 = simd_load(line + n[3] - 1);
    transposeLanes(p0, p1, p2, p3);
  } else {
    const int4 before = n == 0 ? len - 1 : n - 1;
    const int4 next = n + 1 >= len ? 0 : n + 1;
    const int4 afterNext = next + 1 >= len ? 0 : next + 1;
    for (int lane = 0; lane < 4; lane++) {
      p0[lane] = line[before[lane]];
      p1[lane] = line[n[lane]];
      p2[lane] = line[next[lane]];
      p3[lane] = line[afterNext[lane]];
    }
  }
  return catmullRom(p0, p1, p2, p3, t);
}

// An integer index in [-len, len) wrapped once into [0, len).
inline int wrapIndex(int index, int len) { return index < 0 ? index + len : index; }

// The next write index: index + 1, and 0 when it reaches len.
inline int nextIndex(int index, int len) { return ++index >= len ? 0 : index; }

} // namespace dsp
