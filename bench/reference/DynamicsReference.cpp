// Reference kernels of the dynamics and colour family and the wet/dry fader.

#include "Reference.h"

#include <climits>

namespace qvzbench {
namespace {

using In = const float *const *;
using Out = float *const *;

int toInt(float x) {
  if (!(x == x)) return 0;
  if (x >= 2147483648.0f) return INT_MAX;
  if (x <= -2147483648.0f) return INT_MIN;
  return (int)x;
}

// Hold each new quantised value for SR samples; step 2^(bits - 1).
struct BitCrushKernel : Kernel {
  explicit BitCrushKernel(float) {}
  int counter = 0;
  float held = 0.0f;
  void process(In in, Out out, int n) override {
    for (int j = 0; j < n; j++) {
      int hold = toInt(in[2][j]);
      if (hold < 1) hold = 1;
      if (counter == 0) {
        const int bits = toInt(in[1][j]);
        const float scale = bits <= 0 ? 1.0f : (bits > 32 ? 2147483648.0f : std::ldexp(1.0f, bits - 1));
        held = std::round(in[0][j] * scale) / scale;
      }
      out[0][j] = held;
      if (++counter >= hold) counter = 0;
    }
  }
};

// The tanh curve of "Algo" 4 on 1.5 x gain x input, one sample at a time.
struct SoftClipKernel : Kernel {
  explicit SoftClipKernel(float) {}
  void process(In in, Out out, int n) override {
    for (int j = 0; j < n; j++) {
      const float x = in[0][j] * in[1][j] * 1.5f;
      const float a = std::fabs(x);
      const float u = std::fmin(a * 5.0f, 10.0f);
      const float sign = x > 0.0f ? 1.0f : (x < 0.0f ? -1.0f : 0.0f);
      out[0][j] = sign * (1.0f - 2.0f / (std::exp(2.0f * u) + 1.0f));
    }
  }
};

// Detector over threshold gives (d / t)^(1/r - 1), smoothed with a 1 ms one-pole.
struct CompressorKernel : Kernel {
  explicit CompressorKernel(float sr) : k(stepFor(999.99994f, sr)) {}
  float k, gain = 1.0f;
  void process(In in, Out out, int n) override {
    float g = gain;
    for (int i = 0; i < n; i++) {
      float d = in[1][i];
      if (!(d >= 0.0f)) d = 0.0f;
      float t = in[2][i];
      if (!(t >= 0.00001f)) t = 0.00001f;
      float r = in[3][i];
      if (!(r >= 1.0f)) r = 1.0f;
      const float candidate = std::pow(d / t, 1.0f / r - 1.0f);
      g += ((t >= d ? 1.0f : candidate) - g) * k;
      out[0][i] = g * in[0][i];
    }
    gain = g;
  }
};

// High band (input minus a 2 kHz one-pole), shaped by the rational saturator ("Mode" 4),
// DC-blocked at 10 Hz, mixed back by "AxMix".
struct ExciterKernel : Kernel {
  explicit ExciterKernel(float sr) : side(stepFor(12566.371f, sr)), dcStep(stepFor(62.831856f, sr)) {}
  float side, dcStep, low = 0.0f, dc = 0.0f;
  void process(In in, Out out, int n) override {
    float lo = low, d = dc;
    for (int i = 0; i < n; i++) {
      const float x = in[0][i];
      lo += (x - lo) * side;
      const float h = clamp(x - lo, -1.5f, 1.5f);
      const float h2 = h * h;
      const float y = h * (27.0f + h2) / (27.0f + 9.0f * h2);
      d += (y - d) * dcStep;
      out[0][i] = x + (y - d) * in[1][i];
    }
    low = lo;
    dc = d;
  }
};

// Drive 1 + 99 d^2 and bias into the soft curve ("Shape" 1), DC blocker, tone one-pole.
struct FuzzBoxKernel : Kernel {
  explicit FuzzBoxKernel(float sr) : T(1.0f / sr), pole(std::exp(-240.60202f * T)) {}
  float T, pole, lowPass = 0.0f, previous = 0.0f, blocker = 0.0f;
  void process(In in, Out out, int n) override {
    const float tone = clamp(in[3][0], 0.0f, 1.0f);
    const float step = 1.0f - std::exp(-1570.7964f * T * std::pow(48.0f, tone));
    float lp = lowPass, prev = previous, b = blocker;
    for (int i = 0; i < n; i++) {
      const float d = clamp(in[1][i], 0.0f, 1.0f);
      const float y = rationalSaturate(0.5f * clamp(in[2][i], -1.0f, 1.0f) + (1.0f + 99.0f * (d * d)) * in[0][i]);
      b = y - prev + pole * b;
      prev = y;
      lp += (b - lp) * step;
      out[0][i] = lp;
    }
    lowPass = lp;
    previous = prev;
    blocker = b;
  }
};

// Follower, 6:1 compressor, cubic saturation into a 20 ms line; a fixed 2.8 ms tap and a tap
// swept by the triangle ("Waveform" 5), both four-point Catmull-Rom reads; 450 Hz low-pass on
// the wet tap.
struct LofiKernel : Kernel {
  explicit LofiKernel(float sr)
      : sr(sr), length((int)(sr * 0.02f) + 8), line(new float[length]()), attack(stepFor(249.99998f, sr)),
        release(stepFor(3.3333333f, sr)), gainStep(stepFor(166.66667f, sr)), triangleStep(stepFor(124.99999f, sr)),
        wetStep(1.0f - std::exp(-2827.4333f / sr)) {}
  float sr;
  int length;
  std::unique_ptr<float[]> line;
  float attack, release, gainStep, triangleStep, wetStep;
  float envelope = 0.0f, gain = 1.0f, phase = 0.0f, triangle = 0.0f, wet = 0.0f;
  int write = 0;
  static float cubic(float y, float ceiling) {
    if (y >= 1.5f) return ceiling;
    if (y <= -1.5f) return -ceiling;
    return (y - 0.14814815f * (y * y * y)) * ceiling;
  }
  float read(float position) const {
    while (position < 0.0f) position += (float)length;
    while (position >= (float)length) position -= (float)length;
    int i = (int)position;
    const float f = position - (float)i;
    if (i >= length) i -= length;
    const int before = i == 0 ? length - 1 : i - 1;
    const int next = i + 1 >= length ? 0 : i + 1;
    const int afterNext = next + 1 >= length ? 0 : next + 1;
    const float y0 = line[before], y1 = line[i], y2 = line[next], y3 = line[afterNext];
    return y1 + 0.5f * f * (y2 - y0 + f * (2.0f * y0 - 5.0f * y1 + 4.0f * y2 - y3 + f * (3.0f * (y1 - y2) + y3 - y0)));
  }
  void process(In in, Out out, int n) override {
    const float samplesPerMs = sr * 0.001f, fixedDelay = sr * 0.0028000001f, rateBase = 0.15f / sr;
    float s_envelope = envelope, s_gain = gain, s_phase = phase, s_triangle = triangle, s_wet = wet;
    int s_write = write;
    for (int i = 0; i < n; i++) {
      const float a = std::fabs(in[0][i]);
      s_envelope += (a - s_envelope) * (a > s_envelope ? attack : release);
      const float target = s_envelope <= 0.12f ? 1.0f : std::pow(s_envelope * 8.333334f, -0.8333333f);
      s_gain += (target - s_gain) * gainStep;
      line[s_write] = cubic(2.0f * in[0][i] * s_gain, 1.15f);
      s_phase += std::exp(3.506558f * clamp(in[2][i], 0.0f, 1.0f)) * rateBase;
      if (s_phase >= 1.0f) s_phase -= std::floor(s_phase);
      s_triangle += (1.0f - 4.0f * std::fabs(s_phase - 0.5f) - s_triangle) * triangleStep;
      const float d = clamp(in[1][i], 0.0f, 1.0f);
      const float shaped = d * d * (3.0f - 2.0f * d);
      const float fixedTap = read((float)s_write - fixedDelay);
      const float delay = clamp((2.8f + shaped * s_triangle * 0.95f) * samplesPerMs, 2.0f, (float)(length - 4));
      s_wet += (cubic(read((float)s_write - delay) * 1.08f, 1.04f) - s_wet) * wetStep;
      const float b = clamp(in[3][i], 0.0f, 1.0f);
      out[0][i] = fixedTap * (1.0f - b) + s_wet * b;
      if (++s_write == length) s_write = 0;
    }
    envelope = s_envelope;
    gain = s_gain;
    phase = s_phase;
    triangle = s_triangle;
    wet = s_wet;
    write = s_write;
  }
};

// Noise-fed feedback loop through two high-pass and two low-pass one-poles whose corners
// follow the controls at audio rate, saturated, DC-blocked at 12 Hz.
struct GrotesqueKernel : Kernel {
  explicit GrotesqueKernel(float sr) : T(1.0f / sr), pole(std::exp(-75.398224f * T)), ceiling(0.42f * sr) {}
  float T, pole, ceiling;
  float loop = 0.0f, hp1 = 0.0f, hp2 = 0.0f, lp1 = 0.0f, lp2 = 0.0f, previousShaped = 0.0f, previousOut = 0.0f;
  unsigned state = 1;
  float noise(float level) {
    state = state * 1664525u + 1013904223u;
    return level * ((float)(state >> 8) * (2.0f / 16777216.0f) - 1.0f);
  }
  void process(In in, Out out, int n) override {
    float s_loop = loop, s_hp1 = hp1, s_hp2 = hp2, s_lp1 = lp1, s_lp2 = lp2, s_previousShaped = previousShaped,
          s_previousOut = previousOut;
    for (int i = 0; i < n; i++) {
      const float h = clamp(in[1][i], 0.0f, 1.0f), l = clamp(in[2][i], 0.0f, 1.0f), g = clamp(in[3][i], 0.0f, 1.0f);
      const float inputLevel = clamp(in[4][i], 0.0f, 1.0f);
      const float lowStep = 1.0f - std::exp(-6.2831855f * std::fmin(150.0f * std::pow(120.0f, h), ceiling) * T);
      const float highStep = 1.0f - std::exp(-6.2831855f * std::fmin(7000.0f * std::pow(0.0035714286f, l), ceiling) * T);
      const float g2 = g * g;
      const float feedback = 0.02f + 0.4f * l + 0.8f * h + 0.65f * g2;
      const float morph = 0.15f + 0.85f * g;
      const float x = noise((0.0000002f + 0.00003f * (g2 * g)) * (1.0f - inputLevel)) +
                      (0.75f + 4.5f * g2) * (inputLevel * inputLevel) * in[0][i] + rationalSaturate(feedback * s_loop);
      const float y = rationalSaturate(x);
      s_hp1 += (y - s_hp1) * highStep;
      const float p1 = y - s_hp1;
      s_hp2 += (p1 - s_hp2) * highStep;
      const float u = p1 + morph * (p1 - s_hp2 - p1);
      s_lp1 += (u - s_lp1) * lowStep;
      s_lp2 += (s_lp1 - s_lp2) * lowStep;
      s_loop = s_lp1 + morph * (s_lp2 - s_lp1);
      const float s = rationalSaturate(1.15f * s_loop);
      out[0][i] = s - s_previousShaped + pole * s_previousOut;
      s_previousShaped = s;
      s_previousOut = out[0][i];
    }
    loop = s_loop;
    hp1 = s_hp1;
    hp2 = s_hp2;
    lp1 = s_lp1;
    lp2 = s_lp2;
    previousShaped = s_previousShaped;
    previousOut = s_previousOut;
  }
};

// Fast and slow followers; their difference steers a gain of up to +-15 dB.
struct ShaperKernel : Kernel {
  static float stepForTime(float seconds, float sr) { return 1.0f - std::exp(-1.0f / (sr * seconds)); }
  explicit ShaperKernel(float sr)
      : fastRise(stepForTime(0.001f, sr)), fastFall(stepForTime(0.015f, sr)), slowRise(stepForTime(0.02f, sr)),
        slowFall(stepForTime(0.15f, sr)), gainStep(stepForTime(0.002f, sr)) {}
  float fastRise, fastFall, slowRise, slowFall, gainStep, fast = 0.0f, slow = 0.0f, gain = 1.0f;
  void process(In in, Out out, int n) override {
    float f = fast, sl = slow, g = gain;
    for (int i = 0; i < n; i++) {
      const float x = in[0][i], a = std::fabs(x);
      f += (a - f) * (a > f ? fastRise : fastFall);
      sl += (a - sl) * (a > sl ? slowRise : slowFall);
      const float t = clamp((f - sl) / (sl + 0.000001f), -1.0f, 1.0f);
      const float attack = clamp(2.0f * (in[1][i] - 0.5f), -1.0f, 1.0f);
      const float sustain = clamp(2.0f * (in[2][i] - 0.5f), -1.0f, 1.0f);
      g += (std::exp(1.7269387f * (std::fmax(t, 0.0f) * attack + std::fmax(-t, 0.0f) * sustain)) - g) * gainStep;
      out[0][i] = g * x;
    }
    fast = f;
    slow = sl;
    gain = g;
  }
};

// Six bands from five one-pole low-passes of the mono sum, each panned with smoothed gains.
struct BandSpreaderKernel : Kernel {
  explicit BandSpreaderKernel(float sr) : gainStep(stepFor(333.33334f, sr)) {
    const float rates[5] = {753.98224f, 2199.115f, 6283.1855f, 17592.918f, 43982.297f};
    for (int c = 0; c < 5; c++) step[c] = stepFor(rates[c], sr);
    for (int b = 0; b < 6; b++) left[b] = right[b] = 0.70710677f;
  }
  float gainStep, step[5], low[5] = {}, left[6], right[6];
  void process(In in, Out out, int n) override {
    float leftTarget[6], rightTarget[6];
    for (int b = 0; b < 6; b++) {
      const float p = clamp(in[2 + b][0], -1.0f, 1.0f), v = clamp(in[8 + b][0], 0.0f, 1.0f);
      leftTarget[b] = std::sqrt((1.0f - p) * 0.5f) * v;
      rightTarget[b] = std::sqrt(0.5f + 0.5f * p) * v;
    }
    float lo[5], l[6], r[6]; // state in locals: the output stores cannot touch it
    for (int c = 0; c < 5; c++) lo[c] = low[c];
    for (int b = 0; b < 6; b++) {
      l[b] = left[b];
      r[b] = right[b];
    }
    for (int i = 0; i < n; i++) {
      const float mono = (in[0][i] + in[1][i]) * 0.5f;
      for (int c = 0; c < 5; c++) lo[c] += (mono - lo[c]) * step[c];
      const float band[6] = {lo[0], lo[1] - lo[0], lo[2] - lo[1], lo[3] - lo[2], lo[4] - lo[3], mono - lo[4]};
      float sumL = 0.0f, sumR = 0.0f;
      for (int b = 0; b < 6; b++) {
        l[b] += (leftTarget[b] - l[b]) * gainStep;
        r[b] += (rightTarget[b] - r[b]) * gainStep;
        sumL += band[b] * l[b];
        sumR += band[b] * r[b];
      }
      out[0][i] = sumL;
      out[1][i] = sumR;
    }
    for (int c = 0; c < 5; c++) low[c] = lo[c];
    for (int b = 0; b < 6; b++) {
      left[b] = l[b];
      right[b] = r[b];
    }
  }
};

// A + fade (B - A), the fade smoothed by a one-pole.
struct WetDryFadeKernel : Kernel {
  explicit WetDryFadeKernel(float sr) : k(stepFor(200.0f, sr)) {}
  float k, position = 0.0f;
  void process(In in, Out out, int n) override {
    float p = position;
    for (int j = 0; j < n; j++) {
      const float target = !(in[2][j] <= 1.0f) ? 1.0f : (in[2][j] < 0.0f ? 0.0f : in[2][j]);
      p += (target - p) * k;
      out[0][j] = in[0][j] + p * (in[1][j] - in[0][j]);
    }
    position = p;
  }
};

// The two-channel unit: two faders sharing one fade.
struct WetDryUnitKernel : Kernel {
  explicit WetDryUnitKernel(float sr) : left(sr), right(sr) {}
  WetDryFadeKernel left, right;
  void process(In in, Out out, int n) override {
    const float *l[3] = {in[0], in[0], in[2]};
    const float *r[3] = {in[1], in[1], in[2]};
    left.process(l, out, n);
    right.process(r, out + 1, n);
  }
};

RegisterCompare bitCrush(reference<BitCrushKernel>("BitCrush", 1, 1));
RegisterCompare softClip(reference<SoftClipKernel>("SoftClip", 1, 1));
RegisterCompare compressor(reference<CompressorKernel>("CompressorObject", 1, 1));
RegisterCompare exciter(reference<ExciterKernel>("Exciter", 1, 1));
RegisterCompare fuzzBox(reference<FuzzBoxKernel>("FuzzBox", 1, 1));
RegisterCompare lofi(reference<LofiKernel>("Lofi", 1, 1));
RegisterCompare grotesque(reference<GrotesqueKernel>("Grotesque", 1, 1));
RegisterCompare shaper(reference<ShaperKernel>("Shaper", 1, 1));
RegisterCompare bandSpreader(reference<BandSpreaderKernel>("BandSpreader", 2, 2));
RegisterCompare wetDryFade(reference<WetDryFadeKernel>("WetDryFade", 1, 1));
RegisterCompare wetDryUnit(reference<WetDryUnitKernel>("WetDryUnit", 2, 2));

} // namespace
} // namespace qvzbench
