#include "units/dynamics/Exciter.h"

#include "support/Stream.h"
#include "support/Harness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>

namespace {

using qvztest::Feeder;
using qvztest::Held;
using qvztest::keepInputs;
using qvztest::stream;

// First-sample excitation for a step of `input` with AxMix 1: the side band after one step
// of the 2 kHz low-pass is 0.7697 x input, limited to +-1.5; the 10 Hz DC low-pass then keeps
// 0.99869186 of the shaped value.
float firstExcitation(int mode, float input) {
  Held<Exciter> exciter;
  exciter->mMode.set(mode);
  exciter->mIn.setConstant(input);
  exciter->mAmount.setConstant(1.0f);
  qvztest::runFrame(*exciter);
  return (exciter->mOut.buffer()[0] - input) / 0.99869186f;
}

TEST(Exciter, EachModeShapesTheSideBandWithItsCurve) {
  struct Case {
    int mode;
    float atPlus, atMinus; // the curve at h = +1.5 and h = -1.5
  } cases[] = {
      {4, 0.92857143f, -0.92857143f}, // 1.5 x 29.25 / 47.25
      {5, 2.85f, -0.15f},             // h + 0.6h^2
      {6, 1.0f, -1.0f},               // cubic soft clip of h limited to +-1
      {7, 1.5f, 1.5f},                // full-wave rectified
      {8, 1.3875f, 0.4125f},          // h + 0.4h^2 - 0.3h^3
      {9, -0.97753012f, 0.97753012f}, // sin(3h) folds over
      {0, 1.5f, -1.5f},               // unknown codes add the side band unshaped
      {3, 1.5f, -1.5f},
      {10, 1.5f, -1.5f},
  };
  for (const Case &c : cases) {
    EXPECT_NEAR(firstExcitation(c.mode, 10.0f), c.atPlus, 2e-5f) << "mode " << c.mode;
    EXPECT_NEAR(firstExcitation(c.mode, -10.0f), c.atMinus, 2e-5f) << "mode " << c.mode;
  }
  // Inside the limits: h = 0.7697 x 0.5 in mode 8.
  const float h = 0.5f * expf(-12566.371f / 48000.0f);
  EXPECT_NEAR(firstExcitation(8, 0.5f), h + 0.4f * h * h - 0.3f * h * h * h, 1e-5f);
}

TEST(Exciter, AmountZeroPassesTheInputExactlyAndNegativeSubtracts) {
  for (int mode = 4; mode <= 9; mode++) {
    Held<Exciter> plain, plus, minus;
    Feeder feeder;
    float *ins[3] = {feeder.feed(plain->mIn), feeder.feed(plus->mIn), feeder.feed(minus->mIn)};
    Held<Exciter> *units[3] = {&plain, &plus, &minus};
    const float amounts[3] = {0.0f, 0.7f, -0.7f};
    std::vector<float> out[3];
    for (int u = 0; u < 3; u++) {
      (*units[u])->mMode.set(mode);
      (*units[u])->mAmount.setConstant(amounts[u]);
      out[u] = stream(**units[u], (*units[u])->mOut, 512, [&](int start, int n) {
        for (int j = 0; j < n; j++) ins[u][j] = 0.8f * sinf(0.9f * (float)(start + j));
      });
    }
    for (int i = 0; i < 512; i++) {
      const float x = 0.8f * sinf(0.9f * (float)i);
      ASSERT_EQ(out[0][i], x) << "mode " << mode;
      ASSERT_NEAR(out[1][i] - x, -(out[2][i] - x), 1e-6f) << "mode " << mode;
    }
    EXPECT_GT(fabsf(out[1][300] - out[0][300]) + fabsf(out[1][301] - out[0][301]), 1e-3f) << "mode " << mode;
  }
}

TEST(Exciter, DcInputSettlesAtTheInput) {
  for (int mode = 4; mode <= 9; mode++) {
    Held<Exciter> exciter;
    exciter->mMode.set(mode);
    exciter->mIn.setConstant(0.6f);
    exciter->mAmount.setConstant(1.0f);
    const std::vector<float> out = stream(*exciter, exciter->mOut, 24000, keepInputs);
    EXPECT_GT(fabsf(out[0] - 0.6f), 0.1f) << "mode " << mode; // the step itself excites
    EXPECT_NEAR(out.back(), 0.6f, 1e-5f) << "mode " << mode;
  }
}

TEST(Exciter, RectifyingModeAddsTheOctaveWithoutItsMean) {
  // A 6 kHz tone (8 samples per cycle): the rectified side band sits at 12 kHz, and the
  // 10 Hz high-pass removes its mean.
  Held<Exciter> exciter;
  Feeder feeder;
  float *in = feeder.feed(exciter->mIn);
  exciter->mMode.set(7);
  exciter->mAmount.setConstant(1.0f);
  const float w = 2.0f * (float)M_PI / 8.0f;
  const std::vector<float> out = stream(*exciter, exciter->mOut, 48000, [&](int start, int n) {
    for (int j = 0; j < n; j++) in[j] = 0.5f * sinf(w * (float)(start + j));
  });
  std::complex<double> fundamental = 0, octave = 0;
  double mean = 0;
  for (int i = 38400; i < 48000; i++) {
    const double e = out[i] - 0.5 * sin(w * i);
    mean += e;
    fundamental += e * std::polar(1.0, -(double)w * i);
    octave += e * std::polar(1.0, -2.0 * w * i);
  }
  mean /= 9600.0;
  EXPECT_NEAR(mean, 0.0, 1e-3);
  EXPECT_GT(std::abs(octave) / 9600.0, 0.05);
  EXPECT_GT(std::abs(octave), 20.0 * std::abs(fundamental));
}

} // namespace
