#include <dsp/DelayLine.h>
#include <dsp/TwoHeadReader.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

// A line of len samples holding 10 + index, followed by a NaN guard that a read past the end would hit.
std::vector<float> rampLine(int len) {
  std::vector<float> line(len + 1);
  for (int j = 0; j < len; j++) line[j] = 10.0f + (float)j;
  line[len] = NAN;
  return line;
}

TEST(DelayLine, InterpolatesAndWrapsTheNeighbour) {
  const std::vector<float> line = rampLine(8);
  EXPECT_EQ(dsp::readLinear(line.data(), 8, 2.0f), 12.0f);
  EXPECT_EQ(dsp::readLinear(line.data(), 8, 2.25f), 12.25f);
  // Between the last sample and the first: 17 + (10 - 17) * 0.5.
  EXPECT_EQ(dsp::readLinear(line.data(), 8, 7.5f), 13.5f);
  EXPECT_EQ(dsp::readLinearWrapped(line.data(), 8, -0.5f), 13.5f);
  EXPECT_EQ(dsp::readLinearWrapped(line.data(), 8, -8.0f), 10.0f);
  EXPECT_EQ(dsp::wrapIndex(-1, 8), 7);
  EXPECT_EQ(dsp::wrapIndex(3, 8), 3);
  EXPECT_EQ(dsp::nextIndex(6, 8), 7);
  EXPECT_EQ(dsp::nextIndex(7, 8), 0);
}

TEST(DelayLine, APositionRoundingOntoTheLengthReadsIndexZero) {
  // The line of a delay with 2.1 s at 48 kHz plus 8 samples; one ulp there is 1/128.
  const int len = 100808;
  const std::vector<float> line = rampLine(len);
  for (float position : {-1e-4f, -1e-6f, -1e-30f}) {
    const float wrapped = dsp::wrapReadPosition(position, len);
    EXPECT_EQ(wrapped, (float)len) << position; // the float rounding this guards against
    EXPECT_EQ(dsp::readLinear(line.data(), len, wrapped), 10.0f) << position;
    EXPECT_EQ(dsp::readLinearWrapped(line.data(), len, position), 10.0f) << position;
  }
  // A position a little further below 0 stays inside the line and interpolates normally.
  EXPECT_EQ(dsp::readLinearWrapped(line.data(), len, -0.5f), 10.0f + (float)(len - 1) - 0.5f * (float)(len - 1));
}

TEST(DelayLine, AGuardedLineReadsWhatTheWrappedReadGives) {
  // A line of every kind of sample (signed zeros, infinities, NaN, subnormals among them),
  // written once plainly and once through the guard, read at positions across [-len, len),
  // those a hair from 0, from len and from whole indices among them.
  const int len = 100808;
  std::vector<float> plain(len), guarded(len + dsp::kLineGuard, 42.0f);
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> u(-1.0f, 1.0f);
  const float specials[] = {-0.0f, INFINITY, 0.0f, -INFINITY, NAN, 1e-40f};
  for (int j = 0; j < len; j++) {
    const float v = j % 97 < 6 ? specials[j % 97] : u(rng);
    plain[j] = v;
    dsp::writeGuarded(guarded.data(), len, j, v);
  }
  const float end = (float)len;
  std::vector<float> positions = {0.0f, -1e-30f, -1e-6f, -1e-4f, -0.5f, -1.0f, 0.5f, 1.0f, 1.5f, 6.25f, end - 1.0f,
                                  end - 0.5f, nextafterf(end, 0.0f), -end, nextafterf(-end, 0.0f), -end + 1.0f};
  for (int j = 0; j < 200000; j++) positions.push_back(u(rng) * end);
  for (int j = 0; j < 1000; j++) positions.push_back(nextafterf((float)j, (float)(j % 3) - 1.0f));
  while (positions.size() % 4) positions.push_back(0.0f);
  for (size_t j = 0; j < positions.size(); j += 4) {
    const float4 p = simd_load(&positions[j]);
    const float4 lanes = dsp::readLinearWrappedGuarded(guarded.data(), len, p);
    for (int l = 0; l < 4; l++) {
      const float got = lanes[l], want = dsp::readLinearWrapped(plain.data(), len, p[l]);
      ASSERT_EQ(std::memcmp(&got, &want, sizeof want), 0) << p[l] << ": " << got << " for " << want;
    }
  }
}

TEST(TwoHeadReader, PhaseStaysInTheUnitInterval) {
  EXPECT_EQ(dsp::advancePhase(0.25f, 0.5f), 0.75f);
  EXPECT_EQ(dsp::advancePhase(0.75f, 0.5f), 0.25f);
  EXPECT_EQ(dsp::advancePhase(0.25f, -0.5f), 0.75f);
  EXPECT_EQ(dsp::advancePhase(0.0f, -3.25f), 0.75f);
  // 0 - 1e-9 reduced with floor would round up to exactly 1.
  const float tiny = dsp::advancePhase(0.0f, -1e-9f);
  EXPECT_GE(tiny, 0.0f);
  EXPECT_LT(tiny, 1.0f);
  EXPECT_EQ(dsp::oppositePhase(0.0f), 0.5f);
  EXPECT_EQ(dsp::oppositePhase(0.5f), 0.0f);
  EXPECT_EQ(dsp::oppositePhase(0.75f), 0.25f);
}

TEST(TwoHeadReader, HeadsSitHalfAWindowApartWithSineWindowGains) {
  const int len = 64;
  std::vector<float> line(len, 0.0f);
  line[40] = 1.0f; // an impulse the heads look at
  line[20] = 2.0f;
  // Looking back from 50 over a window of 20: phase 0 puts head A (gain 0) at 50 and
  // head B (gain 1) at 40.
  EXPECT_EQ(dsp::twoHeadRead(line.data(), len, 50.0f, -20.0f, 0.0f), 1.0f);
  // Phase 0.25: heads at 45 and 35, each with gain B(0.25) = 12/17.
  line[45] = 1.0f;
  line[35] = 0.5f;
  EXPECT_FLOAT_EQ(dsp::twoHeadRead(line.data(), len, 50.0f, -20.0f, 0.25f), 1.5f * 12.0f / 17.0f);
  // A loop of 30 samples ending at 50: phase 0.5 puts head A at 35 (gain 1), head B at 20 (gain 0).
  EXPECT_EQ(dsp::twoHeadRead(line.data(), len, 20.0f, 30.0f, 0.5f), 0.5f);
  // Heads reaching behind the line's start wrap once: origin 5, span -20 at phase 0.5 reads
  // 5 - 10 = -5 (index 59) with gain 1.
  line[59] = 3.0f;
  EXPECT_EQ(dsp::twoHeadRead(line.data(), len, 5.0f, -20.0f, 0.5f), 3.0f);
}

TEST(TwoHeadReader, CrossfadeKeepsPowerNearlyConstant) {
  // Two uncorrelated heads of equal level: B(t)^2 + B(t + 1/2)^2 stays close to 1, so a
  // crossfade neither dips nor swells audibly.
  for (int j = 0; j < 100; j++) {
    const float t = (float)j / 100.0f;
    const float a = dsp::sineWindow(t);
    const float b = dsp::sineWindow(dsp::oppositePhase(t));
    EXPECT_NEAR(a * a + b * b, 1.0f, 0.01f) << t;
  }
}

} // namespace
