// The host's building blocks, each measured at what it is for: sums and gains, an
// oscillator's aliasing, an LFO's rate and shapes, envelope and follower times, a filter's
// corner and slope under modulation, sequencer timing with swing, and a loop's frame delay.

#include <od/Envelope.h>
#include <od/Filter.h>
#include <od/Follower.h>
#include <od/FrameDelay.h>
#include <od/Gain.h>
#include <od/Graph.h>
#include <od/LFO.h>
#include <od/Mixer.h>
#include <od/Oscillator.h>
#include <od/Random.h>
#include <od/Sequencer.h>

#include "support/Harness.h"
#include "support/UnitRegistry.h"

#include <fftw3.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

QVZ_REGISTER_UNIT("od.Mixer", [] { return new od::Mixer(4); });
QVZ_REGISTER_UNIT("od.Gain", [] { return new od::Gain(); });
QVZ_REGISTER_UNIT("od.Oscillator", [] { return new od::Oscillator(); }, -1.0f);
QVZ_REGISTER_UNIT("od.LFO", [] { return new od::LFO(); }, -1.0f);
QVZ_REGISTER_UNIT("od.Envelope", [] { return new od::Envelope(); }, 0.1f);
QVZ_REGISTER_UNIT("od.Follower", [] { return new od::Follower(); }, 0.1f);
QVZ_REGISTER_UNIT("od.Filter", [] { return new od::Filter(); }, 0.5f);
QVZ_REGISTER_UNIT("od.Sequencer", [] { return new od::Sequencer({110.0f, NAN, 220.0f}); }, -1.0f);
QVZ_REGISTER_UNIT("od.FrameDelay", [] { return new od::FrameDelay(); }, 0.1f);

namespace {

constexpr int kRate = 48000;
constexpr int kFrame = 128;
constexpr double kPi = 3.14159265358979323846;

// Runs an object for `samples`, calling fill(frameStart) before each frame to write its
// feeds, and returns the samples of one outlet.
std::vector<float> run(od::Object &object, const char *outlet, int samples,
                       const std::function<void(int)> &fill = [](int) {}) {
  std::vector<float> out;
  const float *buffer = object.getOutput(outlet)->buffer();
  for (int start = 0; start < samples; start += globalConfig.frameLength) {
    fill(start);
    qvztest::runFrame(object);
    out.insert(out.end(), buffer, buffer + globalConfig.frameLength);
  }
  out.resize(samples);
  return out;
}

// Gain of a filter at a frequency: output RMS over input RMS of a sine, after settling.
double filterGain(int mode, float cutoff, double hz, float resonance = 0.0f) {
  qvztest::Held<od::Filter> filter;
  filter->mMode.set(mode);
  filter->mCutoff.setConstant(cutoff);
  filter->mResonance.setConstant(resonance);
  qvztest::Feeder feeder;
  float *in = feeder.feed(filter->mIn);
  std::vector<float> x;
  const std::vector<float> y = run(*filter, "Out", kRate, [&](int start) {
    for (int i = 0; i < kFrame; i++) x.push_back(in[i] = (float)std::sin(2.0 * kPi * hz * (start + i) / kRate));
  });
  double sx = 0, sy = 0;
  for (int i = kRate / 2; i < kRate; i++) sx += (double)x[i] * x[i], sy += (double)y[i] * y[i];
  return 10.0 * std::log10(sy / sx);
}

TEST(Mixer, SumsItsInputsThroughTheirGains) {
  qvztest::ConfigScope config(kRate, kFrame);
  qvztest::Held<od::Mixer> mixer(3);
  ASSERT_EQ(mixer->inputCount(), 6);
  EXPECT_EQ(mixer->getInput(2)->name(), "In3");
  EXPECT_EQ(mixer->getInput(3)->name(), "Gain1");
  mixer->getInput("In1")->setConstant(0.5f);
  mixer->getInput("In2")->setConstant(2.0f);
  mixer->getInput("Gain2")->setConstant(-0.25f);
  mixer->getInput("In3")->setConstant(7.0f);
  mixer->getInput("Gain3")->setConstant(NAN); // reads 0
  for (float v : run(*mixer, "Out", kFrame)) ASSERT_EQ(v, 0.0f);
  qvztest::Held<od::Gain> vca;
  vca->mIn.setConstant(0.5f);
  vca->mGain.setConstant(-3.0f);
  EXPECT_EQ(run(*vca, "Out", 4)[3], -1.5f);
}

// Level of the strongest component that is not a harmonic below Nyquist, against the
// fundamental, in dB, for an oscillator of `shape` at `hz` (a Blackman-Harris window over
// one second, so every component falls on a whole bin).
double worstAlias(int shape, double hz, float width = 0.5f) {
  qvztest::Held<od::Oscillator> osc;
  osc->mShape.set(shape);
  osc->mFrequency.setConstant((float)hz);
  osc->mWidth.setConstant(width);
  const std::vector<float> out = run(*osc, "Out", kRate + kFrame * 8);
  const int n = kRate;
  std::vector<float> windowed(n);
  for (int i = 0; i < n; i++) {
    const double t = 2.0 * kPi * i / n;
    windowed[i] = (float)(out[kFrame * 8 + i] * (0.35875 - 0.48829 * std::cos(t) + 0.14128 * std::cos(2 * t) -
                                                  0.01168 * std::cos(3 * t)));
  }
  fftwf_complex *spectrum = fftwf_alloc_complex(n / 2 + 1);
  fftwf_plan plan = fftwf_plan_dft_r2c_1d(n, windowed.data(), spectrum, FFTW_ESTIMATE);
  fftwf_execute(plan);
  std::vector<double> power(n / 2 + 1);
  for (int k = 0; k <= n / 2; k++) power[k] = (double)spectrum[k][0] * spectrum[k][0] + (double)spectrum[k][1] * spectrum[k][1];
  fftwf_destroy_plan(plan);
  fftwf_free(spectrum);
  const int fundamental = (int)hz;
  double worst = 0.0;
  for (int k = 8; k <= n / 2; k++) {
    const int nearest = (int)std::lround((double)k / fundamental) * fundamental;
    if (nearest > 0 && std::abs(k - nearest) <= 4) continue; // a harmonic (or an alias on one)
    worst = std::max(worst, power[k]);
  }
  return 10.0 * std::log10(worst / power[fundamental]);
}

TEST(Oscillator, SawSquareAndPulseAliasAtLeast60dBBelowTheFundamental) {
  qvztest::ConfigScope config(kRate, kFrame);
  EXPECT_LE(worstAlias(od::Oscillator::kSaw, 5000.0), -60.0);
  EXPECT_LE(worstAlias(od::Oscillator::kSquare, 5000.0), -60.0);
  EXPECT_LE(worstAlias(od::Oscillator::kPulse, 4100.0, 0.2f), -60.0);
  // The naive waveform folds its harmonics back far louder: the measure can tell.
  EXPECT_GT(worstAlias(od::Oscillator::kTriangle, 5000.0), -60.0);
}

TEST(Oscillator, RunsAtItsFrequencyAndSyncRestartsTheCycle) {
  qvztest::ConfigScope config(kRate, kFrame);
  qvztest::Held<od::Oscillator> osc;
  osc->mShape.set(od::Oscillator::kSaw);
  osc->mFrequency.setConstant(100.0f);
  const std::vector<float> out = run(*osc, "Out", kRate);
  int rises = 0; // through zero, half way up each ramp
  for (int i = 1; i < kRate; i++) rises += out[i - 1] < 0.0f && out[i] >= 0.0f;
  EXPECT_EQ(rises, 100);
  // A sync edge at sample 1000 of a 1 Hz saw: the cycle (-1 upward) starts again there.
  qvztest::Held<od::Oscillator> synced;
  synced->mShape.set(od::Oscillator::kSaw);
  synced->mFrequency.setConstant(1.0f);
  qvztest::Feeder feeder;
  float *sync = feeder.feed(synced->mSync);
  const std::vector<float> s = run(*synced, "Out", 2 * kRate, [&](int start) {
    for (int i = 0; i < kFrame; i++) sync[i] = start + i >= 1000 ? 1.0f : 0.0f;
  });
  const int at = 1000 + od::Oscillator::kLatency;
  EXPECT_NEAR(s[at - 40], -1.0f + 2.0f * (at - 40 - od::Oscillator::kLatency) / kRate, 1e-3f);
  EXPECT_NEAR(s[at + 40], -1.0f + 2.0f * 40 / kRate, 1e-3f);
}

TEST(LFO, HasItsRateShapesStartPhaseAndSeededSampleAndHold) {
  qvztest::ConfigScope config(kRate, kFrame);
  // 4 Hz: a quarter cycle is 3000 samples; every shape at phases 0, 1/4, 1/2, 3/4.
  const float expected[][4] = {{0, 1, 0, -1}, {0, 1, 0, -1}, {-1, -0.5f, 0, 0.5f}, {1, 1, -1, -1}};
  for (int shape = 0; shape < 4; shape++) {
    qvztest::Held<od::LFO> lfo;
    lfo->mShape.set(shape);
    lfo->mRate.setConstant(4.0f);
    lfo->mLevel.setConstant(2.0f);
    lfo->mOffset.setConstant(1.0f);
    const std::vector<float> out = run(*lfo, "Out", kRate);
    // One sample after each quarter, so that a jump is behind it.
    for (int q = 0; q < 4; q++) EXPECT_NEAR(out[q * 3000 + 12001], 1.0f + 2.0f * expected[shape][q], 2e-3f) << shape;
  }
  // The start phase, and a sync edge that goes back to it.
  qvztest::Held<od::LFO> started;
  started->mShape.set(od::LFO::kSawUp);
  started->mStartPhase.hardSet(0.5f);
  qvztest::Feeder feeder;
  float *sync = feeder.feed(started->mSync);
  const std::vector<float> s = run(*started, "Out", 24000, [&](int start) {
    for (int i = 0; i < kFrame; i++) sync[i] = start + i >= 12000 ? 1.0f : 0.0f;
  });
  EXPECT_NEAR(s[0], 0.0f, 1e-6f);
  EXPECT_NEAR(s[11999], 0.5f, 1e-3f);
  EXPECT_NEAR(s[12000], 0.0f, 1e-6f);

  // Sample and hold: one value per cycle, the same for the same seed.
  auto held = [](uint32_t seed) {
    od::Random::seed(seed);
    qvztest::Held<od::LFO> lfo;
    lfo->mShape.set(od::LFO::kSampleAndHold);
    lfo->mRate.setConstant(10.0f);
    return run(*lfo, "Out", kRate);
  };
  const std::vector<float> a = held(5);
  EXPECT_EQ(a, held(5));
  EXPECT_NE(a, held(6));
  int changes = 0;
  for (int i = 1; i < kRate; i++) changes += a[i] != a[i - 1];
  EXPECT_EQ(changes, 9);
}

// First sample index from `from` at which pred holds, or -1.
int firstWhere(const std::vector<float> &x, int from, const std::function<bool(float)> &pred) {
  for (int i = from; i < (int)x.size(); i++)
    if (pred(x[i])) return i;
  return -1;
}

TEST(Envelope, SegmentsTakeTheirTimesToWithinOnePercentAndReachTheirTargets) {
  qvztest::ConfigScope config(kRate, kFrame);
  qvztest::Held<od::Envelope> env;
  env->mAttack.setConstant(0.1f);
  env->mDecay.setConstant(0.2f);
  env->mSustain.setConstant(0.5f);
  env->mRelease.setConstant(0.3f);
  qvztest::Feeder feeder;
  float *gate = feeder.feed(env->mGate);
  const int off = kRate; // the gate falls after one second
  const std::vector<float> out = run(*env, "Out", 2 * kRate, [&](int start) {
    for (int i = 0; i < kFrame; i++) gate[i] = start + i < off ? 1.0f : 0.0f;
  });
  EXPECT_NEAR(firstWhere(out, 0, [](float v) { return v >= 0.99f; }), 4800, 2);
  const int peak = firstWhere(out, 0, [](float v) { return v == 1.0f; });
  ASSERT_GT(peak, 4800);
  EXPECT_NEAR(firstWhere(out, peak, [](float v) { return v <= 0.505f; }) - peak, 9600, 2);
  EXPECT_EQ(out[off - 1], 0.5f); // reached and held
  EXPECT_NEAR(firstWhere(out, off, [](float v) { return v <= 0.005f; }) - off, 14400, 2);
  EXPECT_EQ(out.back(), 0.0f);

  // A new gate during the release rises from where the level is, without a jump.
  qvztest::Held<od::Envelope> again;
  float *g = feeder.feed(again->mGate);
  const std::vector<float> re = run(*again, "Out", kRate, [&](int start) {
    for (int i = 0; i < kFrame; i++) g[i] = (start + i < 12000 || start + i >= 14400) ? 1.0f : 0.0f;
  });
  EXPECT_GT(re[14399], 0.1f);
  EXPECT_NEAR(re[14400], re[14399], 0.05f);
  EXPECT_GT(re[14500], re[14400]);
}

TEST(Follower, RisesWithItsAttackAndFallsWithItsRelease) {
  qvztest::ConfigScope config(kRate, kFrame);
  qvztest::Held<od::Follower> follower;
  follower->mAttack.setConstant(0.01f);
  follower->mRelease.setConstant(0.1f);
  qvztest::Feeder feeder;
  float *in = feeder.feed(follower->mIn);
  // A 0.8 step held for half a second (negative: the follower takes its magnitude), then 0.
  const std::vector<float> out = run(*follower, "Out", kRate, [&](int start) {
    for (int i = 0; i < kFrame; i++) in[i] = start + i < kRate / 2 ? -0.8f : 0.0f;
  });
  const float e = 1.0f - std::exp(-1.0f);
  EXPECT_NEAR(firstWhere(out, 0, [&](float v) { return v >= 0.8f * e; }), 480, 2);
  EXPECT_NEAR(out[kRate / 2 - 1], 0.8f, 1e-4f);
  EXPECT_NEAR(firstWhere(out, kRate / 2, [&](float v) { return v <= 0.8f * (1.0f - e); }) - kRate / 2, 4800, 2);
}

TEST(Filter, CornerSlopeAndModes) {
  qvztest::ConfigScope config(kRate, kFrame);
  EXPECT_NEAR(filterGain(od::Filter::kLowPass, 1000.0f, 1000.0), -3.01, 0.1);
  EXPECT_NEAR(filterGain(od::Filter::kLowPass, 500.0f, 4000.0), -36.1, 1.0); // 12 dB per octave
  EXPECT_NEAR(filterGain(od::Filter::kLowPass, 1000.0f, 100.0), 0.0, 0.05);
  EXPECT_NEAR(filterGain(od::Filter::kHighPass, 1000.0f, 1000.0), -3.01, 0.1);
  EXPECT_NEAR(filterGain(od::Filter::kHighPass, 2000.0f, 250.0), -36.1, 1.0);
  EXPECT_NEAR(filterGain(od::Filter::kBandPass, 1000.0f, 1000.0, 0.8f), 0.0, 0.05);
  EXPECT_LT(filterGain(od::Filter::kNotch, 1000.0f, 1000.0), -40.0);
  EXPECT_GT(filterGain(od::Filter::kLowPass, 1000.0f, 1000.0, 1.0f), 30.0); // the resonant peak
}

TEST(Filter, StaysBoundedAndSmoothWhileTheCutoffMovesAtAudioRate) {
  qvztest::ConfigScope config(kRate, kFrame);
  // A 110 Hz tone of 0.5 through a resonant low-pass whose cutoff swings 100 Hz..12 kHz at
  // 3 kHz, then jumps between the two every 100 samples. Held at either end the output
  // is at most about 1.1 (the peak at 100 Hz).
  for (bool jumps : {false, true}) {
    qvztest::Held<od::Filter> filter;
    filter->mResonance.setConstant(0.7f);
    qvztest::Feeder feeder;
    float *in = feeder.feed(filter->mIn);
    float *cutoff = feeder.feed(filter->mCutoff);
    float largestStep = 0.0f, peak = 0.0f, previous = 0.0f;
    run(*filter, "Out", kRate, [&](int start) {
      if (start > 0) {
        const float *y = filter->mOut.buffer();
        for (int i = 0; i < kFrame; i++) {
          largestStep = std::max(largestStep, std::fabs(y[i] - previous));
          peak = std::max(peak, std::fabs(y[i]));
          previous = y[i];
        }
      }
      for (int i = 0; i < kFrame; i++) {
        const int t = start + i;
        in[i] = 0.5f * (float)std::sin(2.0 * kPi * 110.0 * t / kRate);
        const double swing = jumps ? ((t / 100) % 2 ? 1.0 : -1.0) : std::sin(2.0 * kPi * 3000.0 * t / kRate);
        cutoff[i] = (float)(100.0 * std::pow(120.0, 0.5 + 0.5 * swing));
      }
    });
    EXPECT_LT(peak, 1.5f) << jumps;
    // Swept smoothly it never jumps: the tone itself moves at most 0.0072 per sample.
    if (!jumps) {
      EXPECT_LT(largestStep, 0.25f);
    }
  }
}

// Starts of the gates on a Trig outlet, and their lengths, in samples.
void gates(const std::vector<float> &trig, std::vector<int> &starts, std::vector<int> &lengths) {
  for (int i = 0; i < (int)trig.size(); i++) {
    if (trig[i] == 1.0f && (i == 0 || trig[i - 1] == 0.0f)) {
      starts.push_back(i);
      lengths.push_back(0);
    }
    if (trig[i] == 1.0f) lengths.back()++;
  }
}

TEST(Sequencer, StepsSwingAndRestInSamples) {
  qvztest::ConfigScope config(kRate, kFrame);
  // 120 BPM, four steps per beat: 6000 samples a step; the second of each pair 0.25 late.
  qvztest::Held<od::Sequencer> seq(std::vector<float>{110.0f, 220.0f, NAN, 440.0f});
  seq->mSwing.hardSet(0.25f);
  seq->mLength.hardSet(0.1f);
  const std::vector<float> trig = run(*seq, "Trig", 8 * 6000);
  std::vector<int> starts, lengths;
  gates(trig, starts, lengths);
  EXPECT_EQ(starts, (std::vector<int>{0, 7500, 19500, 24000, 31500, 43500}));
  for (int length : lengths) EXPECT_EQ(length, 600);
  EXPECT_EQ(seq->mPitch.buffer()[kFrame - 1], 440.0f); // step 8 sounds 440

  // A rest holds the pitch of the step before it.
  qvztest::Held<od::Sequencer> held(std::vector<float>{110.0f, NAN});
  const std::vector<float> pitch = run(*held, "Pitch", 12000);
  EXPECT_EQ(pitch[11999], 110.0f);

  // Advanced by a clock of 1000-sample steps; the swung step comes 0.5 x 1000 late. The
  // first gate, sized for a step at BPM, is still open then: one low sample comes first.
  qvztest::Held<od::Sequencer> clocked(std::vector<float>{110.0f, 220.0f});
  clocked->mSwing.hardSet(0.5f);
  qvztest::Feeder feeder;
  float *clock = feeder.feed(clocked->mClock);
  const std::vector<float> t = run(*clocked, "Trig", 5000, [&](int start) {
    for (int i = 0; i < kFrame; i++) clock[i] = (start + i) % 1000 < 10 ? 1.0f : 0.0f;
  });
  starts.clear();
  lengths.clear();
  gates(t, starts, lengths);
  EXPECT_EQ(starts, (std::vector<int>{0, 1501, 2000, 3500, 4000}));
}

TEST(FrameDelay, ALoopThroughItRunsOneFrameLateAndNoOtherLoopRuns) {
  qvztest::ConfigScope config(kRate, 4);
  // y = x + 0.5 x (y one frame earlier): an impulse repeats every frame at half the level.
  qvztest::Held<od::Mixer> mix(2);
  qvztest::Held<od::FrameDelay> delay;
  qvztest::Feeder feeder;
  float *x = feeder.feed(*mix->getInput("In1"));
  mix->getInput("In2")->connect(&delay->mOut);
  mix->getInput("Gain2")->setConstant(0.5f);
  delay->mIn.connect(&mix->mOut);
  od::Graph graph;
  std::string error;
  ASSERT_TRUE(graph.build({&mix->mOut}, error)) << error;
  std::vector<float> y;
  for (int f = 0; f < 4; f++) {
    for (int i = 0; i < 4; i++) x[i] = f == 0 && i == 1 ? 1.0f : 0.0f;
    graph.processFrame();
    y.insert(y.end(), mix->mOut.buffer(), mix->mOut.buffer() + 4);
  }
  EXPECT_EQ(y, (std::vector<float>{0, 1, 0, 0, 0, 0.5f, 0, 0, 0, 0.25f, 0, 0, 0, 0.125f, 0, 0}));
  // The loop's objects hold each other until the graph opens it.
  EXPECT_EQ(mix->referenceCount(), 3); // this test, the graph, the delay's inlet
  graph.openLoops();
  EXPECT_FALSE(delay->mIn.isConnected());
  EXPECT_EQ(mix->referenceCount(), 2);

  // Without the delay the same loop is refused, and the message says what it needs.
  qvztest::Held<od::Gain> a, b;
  a->mIn.connect(&b->mOut);
  b->mIn.connect(&a->mOut);
  EXPECT_FALSE(graph.build({&a->mOut}, error));
  EXPECT_NE(error.find("Gain -> Gain -> Gain"), std::string::npos) << error;
  EXPECT_NE(error.find("FrameDelay"), std::string::npos) << error;
  a->mIn.disconnect();
}

TEST(Parameter, AConnectedParameterFollowsItsOutletAndOrdersTheGraph) {
  qvztest::ConfigScope config(kRate, kFrame);
  qvztest::Held<od::LFO> lfo;
  qvztest::Held<od::Sequencer> seq(std::vector<float>{1.0f});
  lfo->mShape.set(od::LFO::kSquare);
  lfo->mRate.setConstant(0.0f);
  lfo->mOffset.setConstant(200.0f); // a square at phase 0 holds Offset + Level: 201
  seq->mBPM.connect(&lfo->mOut);
  EXPECT_EQ(lfo->referenceCount(), 2); // held by the connection
  od::Graph graph;
  std::string error;
  ASSERT_TRUE(graph.build({&seq->mTrig}, error)) << error;
  ASSERT_EQ(graph.order().size(), 2u);
  EXPECT_EQ(graph.order()[0].object, lfo.object);
  for (int f = 0; f < 40; f++) graph.processFrame();
  EXPECT_EQ(seq->mBPM.target(), 201.0f);
  EXPECT_NEAR(seq->mBPM.value(), 201.0f, 1e-3f);
  // A parameter edge counts for the cycle rule too.
  lfo->mRate.connect(&seq->mTrig);
  EXPECT_FALSE(graph.build({&seq->mTrig}, error));
  lfo->mRate.disconnect();
  seq->mBPM.disconnect();
  EXPECT_EQ(lfo->referenceCount(), 1);
}

} // namespace
