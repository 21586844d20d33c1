// Reference kernels of the drum voices: edge-triggered exponential envelopes, phases in turns,
// rational-sine and square oscillators, one-pole filters and the clipped rational saturator.

#include "Reference.h"

#include <algorithm>
#include <cstdint>

namespace qvzbench {
namespace {

using In = const float *const *;
using Out = float *const *;

float decayFactor(float seconds, float sr) { return std::exp(-1.0f / (seconds * sr)); }

void advance(float &phase, float frequency, float maxFrequency, float sr) {
  phase += clamp(frequency, 0.0f, maxFrequency) / sr;
  if (phase >= 1.0f) phase -= std::floor(phase);
}

float window(float t) {
  const float u = t * (1.0f - t);
  return 16.0f * u / (5.0f - 4.0f * u);
}

float halfCycleSine(float phase) { return phase < 0.5f ? window(2.0f * phase) : -window(2.0f * phase - 1.0f); }

float squareWave(float phase) { return phase < 0.5f ? 1.0f : -1.0f; }

float drumSaturate(float x) {
  const float c = clamp(x, -1.7f, 1.7f), c2 = c * c;
  return c * (27.0f + c2) / (27.0f + 9.0f * c2);
}

struct Noise {
  uint32_t state;
  float next(float scale) {
    state = state * 1664525u + 1013904223u;
    return (float)(int32_t)state * scale;
  }
};

struct Edge {
  bool high = false;
  bool strikes(float gate) {
    const bool now = gate > 0.5f, strike = now && !high;
    high = now;
    return strike;
  }
};

// Swept sine body, noise click, drive into the saturator.
struct KickKernel : Kernel {
  explicit KickKernel(float sr) : sr(sr), pitchDecay(decayFactor(0.045f, sr)), clickDecay(decayFactor(0.0012f, sr)) {}
  float sr, pitchDecay, clickDecay, phase = 0.0f, amplitude = 0.0f, pitch = 0.0f, clickLevel = 0.0f;
  Edge gate;
  Noise noise{0x01234567u};
  // Inputs: Trig, Tune, Decay, Punch, Click, Drive.
  void process(In in, Out out, int n) override {
    const float amplitudeDecay = decayFactor(clamp(in[2][0], 0.03f, 3.0f), sr);
    const float punch = clamp(in[3][0], 0.0f, 1.0f), click = clamp(in[4][0], 0.0f, 1.0f), drive = clamp(in[5][0], 0.0f, 1.0f);
    const float driveGain = 1.0f + 4.0f * drive, makeUp = 1.0f / (1.0f + drive), maxFrequency = 0.45f * sr;
    float ph = phase, a = amplitude, p = pitch, c = clickLevel;
    for (int i = 0; i < n; i++) {
      if (gate.strikes(in[0][i])) {
        ph = 0.0f;
        a = p = c = 1.0f;
      }
      a *= amplitudeDecay;
      p *= pitchDecay;
      c *= clickDecay;
      const float t = in[1][i];
      if (t >= 0.0f) advance(ph, std::min(t, maxFrequency) * (1.0f + 9.0f * punch * (p * p)), maxFrequency, sr);
      const float x = noise.next(3.25962896e-10f) * click * c + halfCycleSine(ph) * a;
      out[0][i] = drumSaturate(x * driveGain) * makeUp;
    }
    phase = ph;
    amplitude = a;
    pitch = p;
    clickLevel = c;
  }
};

// Body and overtone sines, high-passed noise for the wires.
struct SnareKernel : Kernel {
  explicit SnareKernel(float sr) : sr(sr) {}
  float sr, bodyPhase = 0.0f, overtonePhase = 0.0f, body = 0.0f, wires = 0.0f, noiseLow = 0.0f;
  Edge gate;
  Noise noise{0x0BEEF001u};
  // Inputs: Trig, Tune, Decay, Snap, Tone.
  void process(In in, Out out, int n) override {
    const float maxFrequency = 0.45f * sr, decay = clamp(in[2][0], 0.03f, 1.5f);
    const float bodyDecay = decayFactor(decay, sr), wireDecay = decayFactor(0.05f + 0.45f * decay, sr);
    const float noiseGain = 1.6f * clamp(in[3][0], 0.0f, 1.0f);
    const float step = stepFor(6.2831855f * std::min(clamp(in[4][0], 500.0f, 9000.0f), maxFrequency), sr);
    float bp = bodyPhase, op = overtonePhase, b = body, w = wires, lp = noiseLow;
    for (int i = 0; i < n; i++) {
      if (gate.strikes(in[0][i])) {
        bp = op = 0.0f;
        b = w = 1.0f;
      }
      b *= bodyDecay;
      w *= wireDecay;
      const float t = in[1][i];
      if (t >= 0.0f) {
        const float f = std::min(t, maxFrequency);
        advance(bp, f, maxFrequency, sr);
        advance(op, 1.83f * f, maxFrequency, sr);
      }
      const float drum = halfCycleSine(bp) + 0.55f * halfCycleSine(op);
      const float x = noise.next(4.65661287e-10f);
      lp += (x - lp) * step;
      out[0][i] = drumSaturate(noiseGain * (x - lp) * w + 0.6f * b * drum);
    }
    bodyPhase = bp;
    overtonePhase = op;
    body = b;
    wires = w;
    noiseLow = lp;
  }
};

// A bending sine with a stick click.
struct TomKernel : Kernel {
  explicit TomKernel(float sr) : sr(sr), pitchDecay(decayFactor(0.12f, sr)), stickDecay(decayFactor(0.008f, sr)) {}
  float sr, pitchDecay, stickDecay, phase = 0.0f, amplitude = 0.0f, pitch = 0.0f, stick = 0.0f;
  Edge gate;
  Noise noise{0xD00D5EEDu};
  // Inputs: Trig, Tune, Decay, Bend.
  void process(In in, Out out, int n) override {
    const float amplitudeDecay = decayFactor(clamp(in[2][0], 0.05f, 2.0f), sr);
    const float bend = 1.4f * clamp(in[3][0], 0.0f, 1.0f), maxFrequency = 0.45f * sr;
    float ph = phase, a = amplitude, p = pitch, s = stick;
    for (int i = 0; i < n; i++) {
      if (gate.strikes(in[0][i])) {
        ph = 0.0f;
        a = p = s = 1.0f;
      }
      a *= amplitudeDecay;
      p *= pitchDecay;
      s *= stickDecay;
      const float t = in[1][i];
      if (t >= 0.0f) advance(ph, std::min(t, maxFrequency) * (1.0f + bend * p), maxFrequency, sr);
      out[0][i] = drumSaturate(noise.next(1.16415322e-10f) * s + halfCycleSine(ph) * a);
    }
    phase = ph;
    amplitude = a;
    pitch = p;
    stick = s;
  }
};

// Two squares at 540:800 through a band-pass of two one-poles.
struct CowbellKernel : Kernel {
  explicit CowbellKernel(float sr) : sr(sr), clankDecay(decayFactor(0.008f, sr)) {}
  float sr, clankDecay, phase1 = 0.0f, phase2 = 0.0f, body = 0.0f, clankLevel = 0.0f, high = 0.0f, low = 0.0f;
  Edge gate;
  // Inputs: Trig, Tune, Decay, Clank.
  void process(In in, Out out, int n) override {
    const float maxFrequency = 0.45f * sr, bodyDecay = decayFactor(clamp(in[2][0], 0.03f, 1.0f), sr);
    const float clank = clamp(in[3][0], 0.0f, 1.0f);
    float highStep = 0.0f, lowStep = 0.0f;
    if (in[1][0] >= 0.0f) {
      const float r = std::min(in[1][0], maxFrequency) * 0.0018518518f;
      highStep = stepFor(6.2831855f * std::min(350.0f * r, maxFrequency), sr);
      lowStep = stepFor(6.2831855f * std::min(1900.0f * r, maxFrequency), sr);
    }
    float p1 = phase1, p2 = phase2, b = body, c = clankLevel, hp = high, lp = low;
    for (int i = 0; i < n; i++) {
      if (gate.strikes(in[0][i])) {
        p1 = p2 = 0.0f;
        b = c = 1.0f;
      }
      b *= bodyDecay;
      c *= clankDecay;
      const float t = in[1][i];
      if (t >= 0.0f) {
        const float f = std::min(t, maxFrequency);
        advance(p1, f, maxFrequency, sr);
        advance(p2, 1.4814814f * f, maxFrequency, sr);
      }
      const float q = (squareWave(p1) + squareWave(p2)) / 2.0f;
      hp += (q - hp) * highStep;
      lp += (q - hp - lp) * lowStep;
      out[0][i] = drumSaturate(1.6f * (0.9f * b + 1.8f * clank * c) * lp);
    }
    phase1 = p1;
    phase2 = p2;
    body = b;
    clankLevel = c;
    high = hp;
    low = lp;
  }
};

// Six squares at inharmonic ratios through two high-passes, closed and open envelopes.
struct HiHatKernel : Kernel {
  explicit HiHatKernel(float sr) : sr(sr) {}
  float sr, phases[6] = {}, envelope = 0.0f, envelopeDecay = 0.99f, high1 = 0.0f, high2 = 0.0f;
  Edge closedGate, openGate;
  // Inputs: TrigC, TrigO, Tune, DecayC, DecayO, Tone.
  void process(In in, Out out, int n) override {
    static const float ratios[6] = {1.0f, 1.5209125f, 1.6007605f, 1.8022814f, 2.2319391f, 3.2129278f};
    const float maxFrequency = 0.45f * sr;
    const float closedDecay = decayFactor(clamp(in[3][0], 0.005f, 0.3f), sr);
    const float openDecay = decayFactor(clamp(in[4][0], 0.05f, 2.0f), sr);
    const float step = clamp(stepFor(6.2831855f * std::min(clamp(in[5][0], 2000.0f, 12000.0f), maxFrequency), sr), 0.0f, 1.0f);
    float ph[6];
    for (int k = 0; k < 6; k++) ph[k] = phases[k];
    float e = envelope, d = envelopeDecay, h1 = high1, h2 = high2;
    for (int i = 0; i < n; i++) {
      if (closedGate.strikes(in[0][i])) {
        e = 1.0f;
        d = closedDecay;
      }
      if (openGate.strikes(in[1][i])) {
        e = 1.0f;
        d = openDecay;
      }
      e *= d;
      const float t = in[2][i];
      if (t >= 0.0f) {
        const float f = std::min(t, maxFrequency);
        for (int k = 0; k < 6; k++) advance(ph[k], f * ratios[k], maxFrequency, sr);
      }
      float sum = 0.0f;
      for (int k = 0; k < 6; k++) sum += squareWave(ph[k]);
      const float metal = sum * 0.1667f;
      h1 += (metal - h1) * step;
      const float a = metal - h1;
      h2 += (a - h2) * step;
      out[0][i] = 1.5f * (e * e) * (a - h2);
    }
    for (int k = 0; k < 6; k++) phases[k] = ph[k];
    envelope = e;
    envelopeDecay = d;
    high1 = h1;
    high2 = h2;
  }
};

// Six squares and their ring products, two high-passes, a two-pole resonator and sizzle noise.
struct CymbalKernel : Kernel {
  static float bounded(float memory) { return memory > -20.0f && memory < 20.0f ? memory : 0.0f; }
  explicit CymbalKernel(float sr) : sr(sr), shortDecay(decayFactor(0.08f, sr)) {}
  float sr, shortDecay, phases[6] = {}, shortLevel = 0.0f, longLevel = 0.0f, high1 = 0.0f, high2 = 0.0f, res1 = 0.0f,
                        res2 = 0.0f, noiseHigh = 0.0f;
  Edge gate;
  Noise noise{0x0C1CADA5u};
  // Inputs: Trig, Tune, Decay, Tone, Sizzle.
  void process(In in, Out out, int n) override {
    static const float ratios[6] = {1.0f, 1.5308311f, 1.6434317f, 1.8525469f, 2.2225201f, 3.1823056f};
    const float maxFrequency = 0.45f * sr;
    const float longDecay = clamp(decayFactor(clamp(in[2][0], 0.2f, 5.0f), sr), 0.0f, 1.0f);
    const float step = clamp(stepFor(6.2831855f * std::min(maxFrequency, 6500.0f), sr), 0.0f, 1.0f);
    const float tone = std::min(clamp(in[3][0], 1500.0f, 8000.0f), maxFrequency);
    const float b = clamp(1.98f * std::cos(6.2831855f * tone / sr), -1.98f, 1.98f);
    const float noiseGain = 0.4f * clamp(in[4][0], 0.0f, 1.0f);
    float ph[6];
    for (int k = 0; k < 6; k++) ph[k] = phases[k];
    float sl = clamp(shortLevel, 0.0f, 1.0f), ll = clamp(longLevel, 0.0f, 1.0f), h1 = bounded(high1), h2 = bounded(high2),
          r1 = bounded(res1), r2 = bounded(res2), nh = bounded(noiseHigh);
    for (int i = 0; i < n; i++) {
      if (gate.strikes(in[0][i])) sl = ll = 1.0f;
      sl *= shortDecay;
      ll *= longDecay;
      const float t = in[1][i];
      if (t >= 0.0f) {
        const float f = std::min(t, maxFrequency);
        for (int k = 0; k < 6; k++) advance(ph[k], f * ratios[k], maxFrequency, sr);
      }
      float q[6];
      for (int k = 0; k < 6; k++) q[k] = squareWave(ph[k]);
      const float metal = 0.058345f * (q[0] + q[1] + q[2] + q[3] + q[4] + q[5]) +
                          0.21664499f * (q[0] * q[3] + q[1] * q[4] + q[2] * q[5]);
      h1 += (metal - h1) * step;
      const float a = metal - h1;
      h2 += (a - h2) * step;
      const float y = bounded(metal + b * r1 - 0.98010004f * r2);
      r2 = r1;
      r1 = y;
      const float x = noise.next(4.65661287e-10f);
      nh += (x - nh) * step;
      out[0][i] = drumSaturate(1.1f * sl * (a - h2) + ll * (0.017999984f * y + noiseGain * (x - nh)));
    }
    for (int k = 0; k < 6; k++) phases[k] = ph[k];
    shortLevel = sl;
    longLevel = ll;
    high1 = h1;
    high2 = h2;
    res1 = r1;
    res2 = r2;
    noiseHigh = nh;
  }
};

RegisterCompare kick(reference<KickKernel>("Kick", 1, 1));
RegisterCompare snare(reference<SnareKernel>("Snare", 1, 1));
RegisterCompare tom(reference<TomKernel>("Tom", 1, 1));
RegisterCompare cowbell(reference<CowbellKernel>("Cowbell", 1, 1));
RegisterCompare hiHat(reference<HiHatKernel>("HiHat", 1, 1));
RegisterCompare cymbal(reference<CymbalKernel>("Cymbal", 1, 1));

} // namespace
} // namespace qvzbench
