#pragma once

// Playing drum voices in tests: trigger pulses at chosen samples, whole frames recorded.

#include <od/Object.h>

#include "support/Stream.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

namespace drumtest {

using Strikes = std::vector<std::pair<od::Inlet *, std::vector<long>>>;

// Plays whole frames with one-sample trigger pulses at the given sample positions and
// returns everything the voice wrote.
inline std::vector<float> play(od::Object &voice, od::Outlet &out, const Strikes &strikes, long samples) {
  qvztest::Feeder feeder;
  std::vector<float *> gates;
  for (const auto &strike : strikes) gates.push_back(feeder.feed(*strike.first));
  const int n = globalConfig.frameLength;
  std::vector<float> result;
  auto pulses = [&](int start, int) {
    for (size_t g = 0; g < strikes.size(); g++)
      for (int j = 0; j < n; j++) {
        const auto &at = strikes[g].second;
        gates[g][j] = std::find(at.begin(), at.end(), start + j) != at.end() ? 1.0f : 0.0f;
      }
  };
  qvztest::streamInto(voice, (int)((samples + n - 1) / n * n), pulses, {&out}, {&result});
  return result;
}

inline float peak(const std::vector<float> &x, size_t from = 0, size_t to = SIZE_MAX) {
  float p = 0.0f;
  for (size_t i = from; i < std::min(to, x.size()); i++) p = std::max(p, std::fabs(x[i]));
  return p;
}

} // namespace drumtest
