#pragma once

// Runs a unit over many frames and collects one or two outlets as a stream.

#include "support/Harness.h"

#include <od/Object.h>
#include <od/config.h>

#include <cmath>
#include <vector>

namespace qvztest {

// Runs whole frames until `samples` samples exist. Before each frame `fill(start, n)` writes
// the inputs of samples start .. start + n - 1 (the test's fed buffers, indexed from 0).
template <typename Fill> std::vector<float> stream(od::Object &object, od::Outlet &out, int samples, Fill fill) {
  std::vector<float> all;
  const int n = globalConfig.frameLength;
  for (int start = 0; start < samples; start += n) {
    fill(start, n);
    runFrame(object);
    all.insert(all.end(), out.buffer(), out.buffer() + n);
  }
  all.resize(samples);
  return all;
}

// Same, for a stereo pair of outlets.
template <typename Fill>
void streamStereo(od::Object &object, od::Outlet &left, od::Outlet &right, int samples, std::vector<float> &l,
                  std::vector<float> &r, Fill fill) {
  const int n = globalConfig.frameLength;
  for (int start = 0; start < samples; start += n) {
    fill(start, n);
    runFrame(object);
    l.insert(l.end(), left.buffer(), left.buffer() + n);
    r.insert(r.end(), right.buffer(), right.buffer() + n);
  }
  l.resize(samples);
  r.resize(samples);
}

// Root mean square of v from index `from` to the end.
inline double rms(const std::vector<float> &v, size_t from) {
  double sum = 0;
  for (size_t i = from; i < v.size(); i++) sum += (double)v[i] * v[i];
  return std::sqrt(sum / (double)(v.size() - from));
}

// A fill that changes nothing: the inlets keep their constants.
inline void keepInputs(int, int) {}

} // namespace qvztest
