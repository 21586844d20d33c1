#pragma once

// Reads from circular delay lines of `len` samples. A float read position is wrapped once
// (a position below 0 has len added) and read by linear interpolation. In float, a position
// a hair below 0 plus len rounds to exactly len, one past the end of the line: such a
// position reads index 0, the sample it stands for.

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

// An integer index in [-len, len) wrapped once into [0, len).
inline int wrapIndex(int index, int len) { return index < 0 ? index + len : index; }

// The next write index: index + 1, and 0 when it reaches len.
inline int nextIndex(int index, int len) { return ++index >= len ? 0 : index; }

} // namespace dsp
