#pragma once

namespace dsp {

// Catmull-Rom interpolation between p1 (t = 0) and p2 (t = 1), with p0 and p3 the outer
// neighbours.
inline float catmullRom(float p0, float p1, float p2, float p3, float t) {
  return p1 + t * (0.5f * (p2 - p0) +
                   t * (0.5f * (2.0f * p0 - 5.0f * p1 + 4.0f * p2 - p3) + t * 0.5f * (3.0f * p1 - p0 - 3.0f * p2 + p3)));
}

// Brings a finite read position into [0, length) of a circular line by whole line lengths.
// A slightly negative position plus the length can round to exactly the length in float;
// the second loop takes that to 0, so the result never indexes past the end.
inline float wrapPosition(float position, float length) {
  while (position < 0.0f) position += length;
  while (position >= length) position -= length;
  return position;
}

// Four-point read of a circular line at a position in [0, length): the neighbours before
// and after the integer part wrap around the line's ends.
inline float readCatmullRom(const float *line, int length, float position) {
  const int n = (int)position;
  const float t = position - (float)n;
  const int before = n == 0 ? length - 1 : n - 1;
  const int after = n + 1 >= length ? n + 1 - length : n + 1;
  const int afterNext = n + 2 >= length ? n + 2 - length : n + 2;
  return catmullRom(line[before], line[n], line[after], line[afterNext], t);
}

} // namespace dsp
