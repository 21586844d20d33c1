// The four-lane forms of the shared helpers give, lane by lane, exactly the bits of the scalar
// forms, and the vectorised splice search picks exactly what the candidate-by-candidate loop picks.

#include "units/delay/PitchShifter.h"

#include <dsp/Clamp.h>
#include <dsp/DelayLine.h>
#include <dsp/DrumVoice.h>
#include <dsp/HeldResult.h>
#include <dsp/Lanes.h>
#include <dsp/OnePole.h>
#include <dsp/Saturator.h>
#include <dsp/SineWindow.h>
#include <dsp/SpliceSearch.h>
#include <dsp/TwoHeadReader.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace {

uint32_t bitsOf(float x) {
  uint32_t b;
  std::memcpy(&b, &x, sizeof b);
  return b;
}

// Checks each lane of a lane function against the scalar one on the same inputs, in bits.
template <typename LaneFn, typename ScalarFn>
void expectLanesMatch(const std::vector<float> &inputs, LaneFn lanes, ScalarFn scalar, const char *what) {
  for (size_t i = 0; i + 4 <= inputs.size(); i += 4) {
    const float4 x = simd_load(&inputs[i]);
    const float4 y = lanes(x);
    for (int l = 0; l < 4; l++) ASSERT_EQ(bitsOf(y[l]), bitsOf(scalar(x[l]))) << what << " at " << x[l];
  }
}

// Edge values (signed zeros, limits, NaN, infinities) followed by random values in [-range, range].
std::vector<float> sampleInputs(float range, int count, uint32_t seed) {
  std::vector<float> v = {0.0f, -0.0f, 0.5f, -0.5f, 1.0f, -1.0f, 1.7f, -1.7f, 3.0f, -3.0f, 4.0f, -4.0f,
                          NAN, -NAN, INFINITY, -INFINITY, 1e-30f, -1e-30f, 0.99999994f, -0.99999994f};
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> u(-range, range);
  while ((int)v.size() < count) v.push_back(u(rng));
  while (v.size() % 4) v.push_back(0.25f);
  return v;
}

TEST(LaneHelpers, ArithmeticMatchesTheScalarFormsBitForBit) {
  const std::vector<float> wide = sampleInputs(10.0f, 4000, 1);
  expectLanesMatch(wide, [](float4 x) { return dsp::clampNanLow(x, -1.7f, 1.7f); },
                   [](float x) { return dsp::clampNanLow(x, -1.7f, 1.7f); }, "clampNanLow");
  expectLanesMatch(wide, [](float4 x) { return dsp::clampNanHigh(x, -4.0f, 4.0f); },
                   [](float x) { return dsp::clampNanHigh(x, -4.0f, 4.0f); }, "clampNanHigh");
  expectLanesMatch(wide, [](float4 x) { return dsp::saturate(x); }, [](float x) { return dsp::saturate(x); }, "saturate");
  expectLanesMatch(wide, [](float4 x) { return dsp::saturateClipped(x); },
                   [](float x) { return dsp::saturateClipped(x); }, "saturateClipped");
  expectLanesMatch(wide, [](float4 x) { return dsp::drumSaturate(x); }, [](float x) { return dsp::drumSaturate(x); },
                   "drumSaturate");
  expectLanesMatch(wide, [](float4 x) { return dsp::absLanes(x); }, [](float x) { return fabsf(x); }, "abs");
  expectLanesMatch(wide, [](float4 x) { return dsp::finiteOrZero(x * 1e37f); },
                   [](float x) { return dsp::finiteOrZero(x * 1e37f); }, "finiteOrZero");
  // floorLanes covers finite values below 2^31 in size.
  std::vector<float> finite = wide;
  for (float &x : finite)
    if (!std::isfinite(x)) x = -0.0f;
  finite.insert(finite.end(), {-2147483520.0f, 2147483520.0f, 8388607.5f, -8388607.5f});
  expectLanesMatch(finite, [](float4 x) { return dsp::floorLanes(x); }, [](float x) { return floorf(x); }, "floor");
  expectLanesMatch(wide, [](float4 x) { return dsp::phaseStep(x * 1000.0f, 21600.0f, 48000.0f); },
                   [](float x) { return dsp::phaseStep(x * 1000.0f, 21600.0f, 48000.0f); }, "phaseStep");
  expectLanesMatch(wide, [](float4 x) { return dsp::onePoleStep(x, simd_set(0.3f), 0.01f); },
                   [](float x) { return dsp::onePoleStep(x, 0.3f, 0.01f); }, "onePoleStep");

  // Phases and window positions in [0, 1], and phase sums in [-1, 2).
  std::vector<float> unit = sampleInputs(1.0f, 4000, 2);
  for (float &x : unit)
    if (!(x >= -1.0f && x < 2.0f)) x = 0.0f;
  for (float &x : unit) x = fabsf(x);
  expectLanesMatch(unit, [](float4 x) { return dsp::sineWindow(x); }, [](float x) { return dsp::sineWindow(x); },
                   "sineWindow");
  expectLanesMatch(unit, [](float4 x) { return dsp::sineTurns(x); },
                   [](float x) { return dsp::sineTurns(x); }, "sineTurns");
  std::vector<float> sums = sampleInputs(2.0f, 4000, 3);
  for (float &x : sums)
    if (!(x >= -1.0f && x < 2.0f)) x = -0.0f;
  expectLanesMatch(sums, [](float4 x) { return dsp::floorNearUnit(x); }, [](float x) { return floorf(x); },
                   "floorNearUnit");
  expectLanesMatch(sums, [](float4 x) { return dsp::advancePhase(x, simd_set(-0.001f)); },
                   [](float x) { return dsp::advancePhase(x, -0.001f); }, "advancePhase");
}

TEST(LaneHelpers, ReadsMatchTheScalarReadsIncludingTheLineEnds) {
  const int len = 37;
  std::vector<float> line(len);
  std::mt19937 rng(4);
  std::uniform_real_distribution<float> u(-1.0f, 1.0f);
  for (float &x : line) x = u(rng);
  std::vector<float> positions = {0.0f, -0.0f, (float)len, -(float)len, -1e-6f, (float)len - 0.5f, -0.5f, 36.999f};
  std::uniform_real_distribution<float> p(-(float)len, (float)len);
  while (positions.size() < 4000) positions.push_back(p(rng));
  const float *data = line.data();
  expectLanesMatch(positions, [&](float4 x) { return dsp::readLinearWrapped(data, len, x); },
                   [&](float x) { return dsp::readLinearWrapped(data, len, x); }, "readLinearWrapped");
  // Four-point reads after the wrap into the line, which takes [-len, len) in one step.
  expectLanesMatch(positions, [&](float4 x) { return dsp::readCatmullRom(data, len, dsp::wrapIntoLine(x, len)); },
                   [&](float x) { return dsp::readCatmullRom(data, len, dsp::wrapIntoLine(x, len)); },
                   "readCatmullRom");
  // Runs of positions one sample apart going back, across both ends of the line.
  for (float start = (float)len - 0.75f; start > -(float)len + 3.0f; start -= 0.8125f) {
    const float4 x = {start, start - 1.0f, start - 2.0f, start - 3.0f};
    const float4 y = dsp::readLinearWrappedDescending(data, len, x);
    for (int l = 0; l < 4; l++)
      ASSERT_EQ(bitsOf(y[l]), bitsOf(dsp::readLinearWrapped(data, len, x[l]))) << "descending from " << start;
  }
  // Two heads four lanes at a time.
  for (int i = 0; i + 4 <= 400; i += 4) {
    const float4 origin = simd_load(&positions[i]) * 0.5f;
    const float4 phase = dsp::absLanes(simd_load(&positions[i + 400])) / (float)len;
    const float4 y = dsp::twoHeadRead(data, len, origin, -10.0f, phase);
    for (int l = 0; l < 4; l++)
      ASSERT_EQ(bitsOf(y[l]), bitsOf(dsp::twoHeadRead(data, len, origin[l], -10.0f, phase[l])));
  }
}

TEST(LaneHelpers, HeldResultCallsOnlyWhenTheControlMoves) {
  dsp::HeldResult held;
  int calls = 0;
  auto step = [&](float4 x) {
    calls++;
    return x * 2.0f + 1.0f;
  };
  const float4 still = simd_set(0.25f);
  for (int i = 0; i < 3; i++) EXPECT_EQ(bitsOf(held(still, step)[2]), bitsOf(1.5f));
  EXPECT_EQ(calls, 1);
  // A lane that moves, and a zero of the other sign, call again; the last lane is kept.
  const float4 moving = {0.25f, 0.25f, 0.25f, 0.5f};
  EXPECT_EQ(held(moving, step)[3], 2.0f);
  EXPECT_EQ(held(simd_set(0.5f), step)[0], 2.0f);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(bitsOf(held(simd_set(0.0f), step)[0]), bitsOf(1.0f));
  held(simd_set(-0.0f), step);
  EXPECT_EQ(calls, 4);
}

TEST(PitchShifterSearch, PicksExactlyWhatTheCandidateLoopPicks) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> u(0.0f, 1.0f);
  for (int rate : {48000, 44100, 8000, 96000}) {
    const float window = 0.04f * (float)rate;
    const int maxLag = dsp::truncToInt(window);
    const int len = 2 * maxLag + 8;
    std::vector<float> line(len);
    for (int trial = 0; trial < 120; trial++) {
      // Noise, a sine, +-1 alternating (ties everywhere, so a candidate read one rounding
      // away from the loop's positions would win), and noise with a NaN and an infinity.
      const int kind = trial % 4;
      for (int j = 0; j < len; j++) {
        const float noise = u(rng) * 2.0f - 1.0f;
        line[j] = kind == 1 ? std::sin(0.05f * (float)j) : kind == 2 ? (j % 2 ? 1.0f : -1.0f) : noise;
      }
      if (kind == 3) {
        line[rng() % len] = NAN;
        line[rng() % len] = INFINITY;
      }
      // Some writes next to the line's ends, where reads wrap or reach the last sample.
      const int nearEnd = trial / 5 % 8;
      const int writeIndex = trial % 5 == 0 ? nearEnd : trial % 5 == 1 ? len - 1 - nearEnd : (int)(rng() % len);
      // Wrapped heads land near either end of their cycle, some anywhere, some on exactly 0 or
      // 1/2 (positions without a fraction, or with one bit of it).
      const float phaseX = trial % 7 == 0 ? (float)(trial % 2) * 0.5f
                           : trial % 3 == 0 ? u(rng) * 0.003f
                           : trial % 3 == 1 ? 1.0f - u(rng) * 0.003f
                                            : u(rng);
      const float offsetY = std::floor(u(rng) * (float)maxLag);
      const float phaseY = u(rng);
      const float expected = dsp::spliceSearchReference(line.data(), len, writeIndex, window, maxLag, phaseX, offsetY, phaseY);
      const float got = dsp::spliceSearch(line.data(), len, writeIndex, window, maxLag, phaseX, offsetY, phaseY);
      ASSERT_EQ(bitsOf(got), bitsOf(expected)) << "rate " << rate << " trial " << trial << " phase " << phaseX;
    }
  }
}

} // namespace
