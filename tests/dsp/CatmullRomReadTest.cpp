#include <dsp/DelayLine.h>

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(CatmullRomRead, PassesThroughSamplesAndIsExactOnLinesAndAcrossTheWrap) {
  float line[8];
  for (int i = 0; i < 8; i++) line[i] = 3.0f * (float)i - 5.0f;
  for (int i = 1; i < 6; i++) EXPECT_EQ(dsp::readCatmullRom(line, 8, (float)i), line[i]);
  EXPECT_FLOAT_EQ(dsp::readCatmullRom(line, 8, 2.25f), 3.0f * 2.25f - 5.0f); // linear precision
  // Position 7.5 reads samples 6, 7, 0, 1 = (13, 16, -5, -2): 5.5 by hand.
  EXPECT_FLOAT_EQ(dsp::readCatmullRom(line, 8, 7.5f), 5.5f);
  // Position 0: the sample before is the last one; position len reads index 0.
  EXPECT_EQ(dsp::readCatmullRom(line, 8, 0.0f), line[0]);
  EXPECT_EQ(dsp::readCatmullRom(line, 8, 8.0f), line[0]);
  // Samples of x^3 at 0..3: halfway between 1 and 2 reads 1.5^3.
  const float cubic[4] = {0.0f, 1.0f, 8.0f, 27.0f};
  EXPECT_FLOAT_EQ(dsp::readCatmullRom(cubic, 4, 1.5f), 3.375f);
}

TEST(CatmullRomRead, WrapIntoLineNeverReachesTheLength) {
  // -1e-8 + 968 rounds to exactly 968 in float: the wrap takes it to 0.
  EXPECT_EQ(-1e-8f + 968.0f, 968.0f);
  EXPECT_EQ(dsp::wrapIntoLine(-1e-8f, 968), 0.0f);
  EXPECT_EQ(dsp::wrapIntoLine(-0.5f, 968), 967.5f);
  EXPECT_EQ(dsp::wrapIntoLine(968.0f, 968), 0.0f);
  EXPECT_EQ(dsp::wrapIntoLine(-3000.25f, 968), 871.75f);
  EXPECT_EQ(dsp::wrapIntoLine(2905.0f, 968), 1.0f);
  for (float p : {-1e-6f, -1e-8f, -967.9999f, 1e5f, -1e5f}) {
    const float w = dsp::wrapIntoLine(p, 968);
    EXPECT_GE(w, 0.0f) << p;
    EXPECT_LT(w, 968.0f) << p;
  }
}

} // namespace
