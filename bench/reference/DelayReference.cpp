// Reference kernels of the delay family: the same reads and feedback paths on plain arrays,
// state in locals for the length of a frame. The line readers are the shared dsp ones (the
// same arithmetic the units use).

#include "Reference.h"

#include <dsp/DelayLine.h>
#include <dsp/SineWindow.h>
#include <dsp/TwoHeadReader.h>

#include <algorithm>
#include <vector>

namespace qvzbench {
namespace {

using In = const float *const *;
using Out = float *const *;

inline float clampHigh(float x, float lo, float hi) { return !(x <= hi) ? hi : (x < lo ? lo : x); }

inline float saturate(float x) {
  const float x2 = x * x;
  return x * (27.0f + x2) / (27.0f + 9.0f * x2);
}

// Stereo feedback comb: one period of f0 back, linear read, gain Q, output held in +-4.
struct CombKernel : Kernel {
  explicit CombKernel(float sr) : sr(sr), len((int)(0.05f * sr) + 4), left(len), right(len), lowest(sr / (float)(len - 3)) {}
  float sr;
  int len;
  std::vector<float> left, right;
  float lowest;
  int write = 0;
  void process(In in, Out out, int n) override {
    const float highest = 0.45f * sr, longest = (float)(len - 3);
    float *l = left.data(), *r = right.data();
    int w = write;
    for (int i = 0; i < n; i++) {
      float f = in[2][i];
      if (f > highest) f = highest;
      else if (!(f >= lowest)) f = lowest;
      const float period = clamp(sr / f, 2.0f, longest);
      const float position = (float)w - period;
      const float g = clampHigh(in[3][i], 0.0f, 0.98f);
      const float yL = clampHigh(in[0][i] + dsp::readLinearWrapped(l, len, position) * g, -4.0f, 4.0f);
      const float yR = clampHigh(in[1][i] + dsp::readLinearWrapped(r, len, position) * g, -4.0f, 4.0f);
      l[w] = yL;
      r[w] = yR;
      out[0][i] = yL;
      out[1][i] = yR;
      if (++w >= len) w = 0;
    }
    write = w;
  }
};

// Stereo flanger: rational-sine LFO, smoothed delay of 0.5 to 8 ms, feedback, blend.
struct FlangerKernel : Kernel {
  explicit FlangerKernel(float sr)
      : sr(sr), len((int)(0.01f * sr) + 4), left(len), right(len), delay(0.002f * sr), smoothing(stepFor(499.999969f, sr)) {}
  float sr;
  int len;
  std::vector<float> left, right;
  float delay, smoothing, phase = 0.0f;
  int write = 0;
  void process(In in, Out out, int n) override {
    const float minimum = 0.0005f * sr;
    float *l = left.data(), *r = right.data();
    float ph = phase, d = delay;
    int w = write;
    for (int i = 0; i < n; i++) {
      ph += clampHigh(in[2][i], 0.01f, 10.0f) / sr;
      if (ph >= 1.0f) ph -= 1.0f;
      const float sweep = clampHigh(in[3][i], 0.0f, 1.0f) * 0.00375f * sr;
      d += (minimum + sweep * (1.0f + dsp::sineTurns(ph)) - d) * smoothing;
      const float position = dsp::wrapReadPosition((float)w - d, len);
      const float yL = dsp::readLinear(l, len, position), yR = dsp::readLinear(r, len, position);
      const float f = clampHigh(in[4][i], -0.95f, 0.95f);
      const float xL = in[0][i], xR = in[1][i];
      l[w] = xL + yL * f;
      r[w] = xR + yR * f;
      const float b = clampHigh(in[5][i], 0.0f, 1.0f);
      out[0][i] = xL + ((xL + yL) * 0.7071f - xL) * b;
      out[1][i] = xR + ((xR + yR) * 0.7071f - xR) * b;
      if (++w >= len) w = 0;
    }
    phase = ph;
    delay = d;
    write = w;
  }
};


// Freeze: record until the gate rises, then loop the last "Size" seconds with two heads.
struct FreezeKernel : Kernel {
  explicit FreezeKernel(float sr) : sr(sr), len((int)sr + 8), buffer(len), smoothing(stepFor(124.999992f, sr)) {}
  float sr;
  int len;
  std::vector<float> buffer;
  float smoothing, phase = 0.0f, wet = 0.0f;
  bool frozen = false;
  int write = 0, freezePoint = 0;
  void process(In in, Out out, int n) override {
    const float longest = (float)(len - 8);
    float *b = buffer.data();
    float ph = phase, g = wet;
    bool fr = frozen;
    int w = write, point = freezePoint;
    for (int i = 0; i < n; i++) {
      const float x = in[0][i];
      if (in[1][i] > 0.5f) {
        if (!fr) {
          fr = true;
          point = w;
          ph = 0.0f;
        }
      } else {
        fr = false;
        b[w] = x;
        if (++w >= len) w = 0;
      }
      const float loop = clamp(in[2][i] * sr, 128.0f, longest);
      ph = dsp::advancePhase(ph, 1.0f / loop);
      const float y = dsp::twoHeadRead(b, len, (float)point - loop, loop, ph);
      g += ((fr ? 1.0f : 0.0f) - g) * smoothing;
      out[0][i] = x + g * (y - x);
    }
    phase = ph;
    wet = g;
    frozen = fr;
    write = w;
    freezePoint = point;
  }
};

// Four pitch-shifting taps at 1 to 4 times the smoothed spacing, each two crossfading heads
// over a 100 ms window; the last tap fed back through the saturator.
struct TapDelayKernel : Kernel {
  explicit TapDelayKernel(float sr)
      : sr(sr), len((int)(2.0f * sr + 0.1f * sr) + 8), buffer(len), window(0.1f * sr), spacing(0.15f * sr),
        timeStep(stepFor(12.5f, sr)), pitchStep(stepFor(25.0f, sr)) {}
  float sr;
  int len;
  std::vector<float> buffer;
  float window, spacing, timeStep, pitchStep, ratio[4] = {}, phase[4] = {};
  int write = 0;
  // Inputs: In, Time, Feedback, Reverse, Blend, Pitch1-4, Level1-4; outputs: Out, Tap1-4.
  void process(In in, Out out, int n) override {
    float *b = buffer.data();
    float r[4], ph[4];
    for (int k = 0; k < 4; k++) {
      r[k] = ratio[k];
      ph[k] = phase[k];
    }
    float s = spacing;
    int w = write;
    for (int i = 0; i < n; i++) {
      s += (clampHigh(in[1][i], 0.02f, 0.5f) * sr - s) * timeStep;
      const bool reversed = in[3][i] > 0.5f;
      float mix = 0.0f, last = 0.0f;
      for (int k = 0; k < 4; k++) {
        float p = clampHigh(in[5 + k][i], -4.0f, 4.0f);
        if (reversed) p = -p;
        r[k] += (p - r[k]) * pitchStep;
        ph[k] = dsp::advancePhase(ph[k], (1.0f - r[k]) / window);
        const float y = dsp::twoHeadRead(b, len, (float)w - 1.0f - (float)(k + 1) * s, -window, ph[k]);
        out[1 + k][i] = y;
        mix += y * in[9 + k][i];
        last = y;
      }
      const float x = clampHigh(last * clampHigh(in[2][i], 0.0f, 0.95f), -1.7f, 1.7f);
      b[w] = in[0][i] + saturate(x);
      out[0][i] = in[0][i] + (mix - in[0][i]) * clampHigh(in[4][i], 0.0f, 1.0f);
      if (++w >= len) w = 0;
    }
    for (int k = 0; k < 4; k++) {
      ratio[k] = r[k];
      phase[k] = ph[k];
    }
    spacing = s;
    write = w;
  }
};

// Four stereo taps panned by the balance law, blended with the dry pair.
struct TapMixerKernel : Kernel {
  explicit TapMixerKernel(float) {}
  void process(In in, Out out, int n) override {
    for (int i = 0; i < n; i++) {
      float wetL = 0.0f, wetR = 0.0f;
      for (int k = 0; k < 4; k++) {
        const float q = clampHigh(in[14 + k][i], -1.0f, 1.0f);
        wetL += in[2 + 2 * k][i] * in[10 + k][i] * (q > 0.0f ? 1.0f - q : 1.0f);
        wetR += in[3 + 2 * k][i] * in[10 + k][i] * (q < 0.0f ? 1.0f + q : 1.0f);
      }
      const float beta = clampHigh(in[18][i], 0.0f, 1.0f);
      out[0][i] = in[0][i] + (wetL - in[0][i]) * beta;
      out[1][i] = in[1][i] + (wetR - in[1][i]) * beta;
    }
  }
};

// Three voices of two heads each over a 40 ms window; when a head wraps, the splice search
// scores every lag against the other head's value, slope and curvature.
struct PitchShifterKernel : Kernel {
  explicit PitchShifterKernel(float sr)
      : maxLag((int)(0.04f * sr)), len(2 * maxLag + 8), line(len), window(0.04f * sr), smoothing(stepFor(333.33334f, sr)) {}
  struct Voice {
    float phaseA = 0.0f, phaseB = 0.5f, offsetA = 0.0f, offsetB = 0.0f, speed = 1.0f;
  };
  int maxLag, len;
  std::vector<float> line;
  float window, smoothing;
  Voice voices[3];
  int write = 0, filled = 0;
  float search(int w, float phaseX, float offsetY, float phaseY) const {
    const float dX = phaseX * window;
    int lags = (int)((float)len - (dX + 1.0f) - 4.0f);
    if (lags > maxLag) lags = maxLag;
    if (lags <= 0) return 0.0f;
    const float *l = line.data();
    const float start0 = (float)w - (offsetY + phaseY * window + 1.0f);
    const float r0 = dsp::readLinearWrapped(l, len, start0), r1 = dsp::readLinearWrapped(l, len, start0 - 1.0f),
                r2 = dsp::readLinearWrapped(l, len, start0 - 2.0f);
    const float refSlope = r0 - r1, refCurve = r0 - 2.0f * r1 + r2;
    int best = 0;
    float bestScore = INFINITY;
    for (int k = 0; k <= lags; k++) {
      const float start = (float)w - (dX + 1.0f + (float)k);
      const float c0 = dsp::readLinearWrapped(l, len, start), c1 = dsp::readLinearWrapped(l, len, start - 1.0f),
                  c2 = dsp::readLinearWrapped(l, len, start - 2.0f);
      const float value = c0 - r0, slope = (c0 - c1) - refSlope, curve = (c0 - 2.0f * c1 + c2) - refCurve;
      const float score = value * value + 4.0f * slope * slope + 2.0f * curve * curve;
      if (score < bestScore) {
        bestScore = score;
        best = k;
      }
    }
    return (float)best;
  }
  float head(int w, float offset, float phase) const {
    return dsp::readLinearWrapped(line.data(), len, (float)w - 1.0f - offset - phase * window);
  }
  void process(In in, Out out, int n) override {
    const float inverseWindow = 1.0f / window;
    int w = write;
    for (int j = 0; j < n; j++) {
      const float x = in[0][j];
      line[w] = x;
      if (filled < len) filled++;
      const bool searching = filled >= len;
      float sum = 0.0f;
      for (int k = 0; k < 3; k++) {
        Voice &v = voices[k];
        v.speed += (clampHigh(in[2 + k][j], -4.0f, 4.0f) - v.speed) * smoothing;
        const float inc = (1.0f - v.speed) * inverseWindow;
        const float hA = v.phaseA + inc, hB = v.phaseB + inc;
        v.phaseA = hA - std::floor(hA);
        v.phaseB = hB - std::floor(hB);
        if (searching) {
          if (hA < 0.0f || hA >= 1.0f) v.offsetA = search(w, v.phaseA, v.offsetB, v.phaseB);
          if (hB < 0.0f || hB >= 1.0f) v.offsetB = search(w, v.phaseB, v.offsetA, v.phaseA);
        }
        const float a = head(w, v.offsetA, v.phaseA), b = head(w, v.offsetB, v.phaseB);
        const float weightB = std::fabs(2.0f * v.phaseA - 1.0f);
        sum += b * weightB + a * (1.0f - weightB);
      }
      out[0][j] = x + (sum * (1.0f / 3.0f) - x) * clampHigh(in[1][j], 0.0f, 1.0f);
      if (++w >= len) w = 0;
    }
    write = w;
  }
};

// Four string loops: third-order Lagrange read, damping one-pole, DC blocker, loop gain; the
// voice being retuned recomputes its loop delay and gain for 5 ms after its trigger.
struct PluckKernel : Kernel {
  struct Loop {
    float delay, gain;
  };
  // Lines sized as Pluck(0.05) sizes them: 50 ms rounded up to whole 128-sample frames.
  explicit PluckKernel(float sr) : sr(sr), len(((int)(0.05f * sr) + 127) / 128 * 128), memory(4 * len) {}
  float sr;
  int len;
  std::vector<float> memory;
  float frequency[4] = {110.0f, 110.0f, 110.0f, 110.0f}, lowpass[4] = {}, dcIn[4] = {}, dcOut[4] = {};
  int write = 0, voice = 0, countdown = 0;
  float previousTrigger = 0.0f;
  Loop loopFor(float f, float c, float kappa) const {
    const float omega = 6.28318548f * f / sr, period = sr / f;
    const float s = std::sin(omega), co = std::cos(omega);
    const float lpIm = c * s, lpRe = 1.0f - c * co;
    const float lpPhase = std::atan2(lpIm, lpRe), lpMagnitude = (1.0f - c) / std::sqrt(lpIm * lpIm + lpRe * lpRe);
    const float dcIm = 0.9995f * s, dcRe = 1.0f - 0.9995f * co;
    const float dcPhase = std::atan2(dcIm, dcRe);
    const float dcMagnitude = 2.0f * std::sin(omega / 2.0f) / std::sqrt(dcIm * dcIm + dcRe * dcRe);
    float delay = period - lpPhase / omega + ((3.14159274f - omega) / 2.0f - dcPhase) / omega;
    delay = std::fmin(std::fmax(delay, 4.0f), (float)(len - 8));
    return {delay, std::fmin(std::exp(period * kappa) / (dcMagnitude * lpMagnitude), 4.0f)};
  }
  // Inputs: In, Trigger, f0, Damp, Decay.
  void process(In in, Out out, int n) override {
    const float c = std::exp(-6.28318548f * clampHigh(in[3][0], 20.0f, 0.45f * sr) / sr);
    const float kappa = std::log(clampHigh(in[4][0], 0.000001f, 0.999995f)) / (0.0763f * sr);
    const float lowest = sr / (float)(len - 8), highest = sr / 4.0f;
    const int retune = (int)(0.005f * sr);
    Loop loop[4];
    for (int k = 0; k < 4; k++) loop[k] = loopFor(frequency[k], c, kappa);
    float lp[4], di[4], dO[4];
    for (int k = 0; k < 4; k++) {
      lp[k] = lowpass[k];
      di[k] = dcIn[k];
      dO[k] = dcOut[k];
    }
    int w = write;
    for (int i = 0; i < n; i++) {
      if (in[1][i] > 0.5f && previousTrigger <= 0.5f) {
        voice = (voice + 1) % 4;
        countdown = retune;
      }
      if (countdown > 0) {
        const float f = clamp(in[2][i], lowest, highest);
        frequency[voice] = f;
        countdown--;
        loop[voice] = loopFor(f, c, kappa);
      }
      float sum = 0.0f;
      for (int k = 0; k < 4; k++) {
        float *l = memory.data() + k * len;
        const int whole = (int)loop[k].delay;
        const float x = loop[k].delay - (float)whole + 1.0f;
        auto at = [&](int index) { return l[index < 0 ? index + len : index]; };
        const float y0 = at(w - (whole - 1)), y1 = at(w - whole), y2 = at(w - whole - 1), y3 = at(w - whole - 2);
        const float a = x - 1.0f, b = x - 2.0f, d = x - 3.0f;
        const float u = -a * b * d / 6.0f * y0 + x * b * d / 2.0f * y1 - x * a * d / 2.0f * y2 + x * a * b / 6.0f * y3;
        const float lowpassed = c * lp[k] + (1.0f - c) * u;
        const float e = lowpassed - di[k] + 0.9995f * dO[k];
        lp[k] = di[k] = lowpassed;
        dO[k] = e;
        float v = e * loop[k].gain + (k == voice ? in[0][i] : 0.0f);
        v = clamp(v, -2.0f, 2.0f);
        l[w] = v;
        sum += v;
      }
      if (++w >= len) w = 0;
      out[0][i] = sum;
      previousTrigger = in[1][i];
    }
    for (int k = 0; k < 4; k++) {
      lowpass[k] = lp[k];
      dcIn[k] = di[k];
      dcOut[k] = dO[k];
    }
    write = w;
  }
};

// Four voices of two heads each over a 25 ms window, detuned by the quadratic approximation
// of the ratio, spread in time and across the stereo field.
struct UnisonKernel : Kernel {
  explicit UnisonKernel(float sr)
      : len((int)(0.025f * sr + 0.01f * sr) + 8), buffer(len), window(0.025f * sr), spreadDelay(0.01f * sr),
        smoothing(stepFor(50.0f, sr)) {}
  int len;
  std::vector<float> buffer;
  float window, spreadDelay, smoothing, phases[4] = {0.0f, 0.25f, 0.5f, 0.75f}, detune = 0.0f, spread = 0.0f;
  int write = 0;
  // Inputs: In, Detune, Blend, Spread; outputs: OutL, OutR, OutMono.
  void process(In in, Out out, int n) override {
    static const float voiceDetune[4] = {1.0f, -1.0f, -0.4f, 0.4f}, voicePan[4] = {1.0f, -1.0f, -1.0f, 1.0f},
                       voiceDelay[4] = {0.0f, 1.0f, 0.0f, 1.0f};
    float *b = buffer.data();
    float ph[4] = {phases[0], phases[1], phases[2], phases[3]};
    float det = detune, spr = spread;
    int w = write;
    for (int i = 0; i < n; i++) {
      const float x = in[0][i];
      b[w] = x;
      det += (clampHigh(in[1][i], 0.0f, 100.0f) - det) * smoothing;
      spr += (clampHigh(in[3][i], 0.0f, 1.0f) - spr) * smoothing;
      const float k = det * 0.000577622675f, base = (float)(w - 1);
      float mono = 0.0f, left = 0.0f, right = 0.0f;
      for (int j = 0; j < 4; j++) {
        const float xj = k * voiceDetune[j];
        ph[j] = dsp::advancePhase(ph[j], (-xj - xj * xj / 2.0f) / window);
        const float y = dsp::twoHeadRead(b, len, base - spr * spreadDelay * voiceDelay[j], -window, ph[j]);
        mono += 0.25f * y;
        left += 0.25f * (1.0f - spr * voicePan[j]) * y;
        right += 0.25f * (1.0f + spr * voicePan[j]) * y;
      }
      const float beta = clampHigh(in[2][i], 0.0f, 1.0f);
      out[0][i] = x + (left - x) * beta;
      out[1][i] = x + (right - x) * beta;
      out[2][i] = x + (mono - x) * beta;
      if (++w >= len) w = 0;
    }
    for (int j = 0; j < 4; j++) phases[j] = ph[j];
    detune = det;
    spread = spr;
    write = w;
  }
};

// Rotary speaker: saturation, crossover into horn and drum lines, two rotors whose speeds
// glide, each read at a swinging delay with tremolo and panning from the rational sine.
struct LeslieKernel : Kernel {
  static float inertia(float seconds, float sr) { return 1.0f - std::exp(-1.0f / (seconds * sr)); }
  explicit LeslieKernel(float sr)
      : sr(sr), len((int)(0.004f * sr) + 4), horn(len), drum(len), crossover(stepFor(5026.54834f, sr)),
        hornUp(inertia(0.8f, sr)), hornDown(inertia(1.1f, sr)), drumUp(inertia(4.0f, sr)), drumDown(inertia(5.0f, sr)) {}
  float sr;
  int len;
  std::vector<float> horn, drum;
  float crossover, hornUp, hornDown, drumUp, drumDown;
  float low = 0.0f, hornPhase = 0.0f, drumPhase = 0.3f, hornSpeed = 0.8f, drumSpeed = 0.66f;
  int write = 0;
  // Inputs: In, Fast, Depth, Drive, Blend; outputs: OutL, OutR.
  void process(In in, Out out, int n) override {
    const float centre = 0.0012f * sr, hornSwing = 0.00085f * sr, drumSwing = 0.00035f * sr;
    float *hl = horn.data(), *dl = drum.data();
    float lo = low, hp = hornPhase, dp = drumPhase, hs = hornSpeed, ds = drumSpeed;
    int w = write;
    for (int i = 0; i < n; i++) {
      const float x = in[0][i];
      const float delta = clampHigh(in[3][i], 0.0f, 1.0f);
      const float v = saturate((1.0f + 3.0f * delta) * x) / (1.0f + 0.7f * delta);
      lo += (v - lo) * crossover;
      hl[w] = v - lo;
      dl[w] = lo;
      const bool isFast = in[1][i] > 0.5f;
      const float hornTarget = isFast ? 6.8f : 0.8f, drumTarget = isFast ? 5.9f : 0.66f;
      hs += (hornTarget - hs) * (hornTarget > hs ? hornUp : hornDown);
      ds += (drumTarget - ds) * (drumTarget > ds ? drumUp : drumDown);
      hp += hs / sr;
      if (hp >= 1.0f) hp -= 1.0f;
      dp += ds / sr;
      if (dp >= 1.0f) dp -= 1.0f;
      const float sh = dsp::sineTurns(hp), ch = dsp::cosineTurns(hp), sd = dsp::sineTurns(dp), cd = dsp::cosineTurns(dp);
      const float d = clampHigh(in[2][i], 0.0f, 1.0f);
      const float h = dsp::readLinearWrapped(hl, len, (float)w - centre - hornSwing * d * sh) * (1.0f - 0.225f * d * (1.0f + sh));
      const float b = dsp::readLinearWrapped(dl, len, (float)w - centre - drumSwing * d * sd) * (1.0f - 0.125f * d * (1.0f + sd));
      const float left = (0.5f + 0.4f * d * ch) * h + (0.5f + 0.25f * d * cd) * b;
      const float right = (0.5f - 0.4f * d * ch) * h + (0.5f - 0.25f * d * cd) * b;
      const float beta = clampHigh(in[4][i], 0.0f, 1.0f);
      out[0][i] = x + (2.0f * left - x) * beta;
      out[1][i] = x + (2.0f * right - x) * beta;
      if (++w >= len) w = 0;
    }
    low = lo;
    hornPhase = hp;
    drumPhase = dp;
    hornSpeed = hs;
    drumSpeed = ds;
    write = w;
  }
};

// Reverse echo: each channel's line is cut into segments of "Delay" seconds, every segment
// played backwards with 5 ms ramps at both ends, fed back into the line.
struct ReverseDelayKernel : Kernel {
  struct Line {
    std::vector<float> buffer;
    int write = 0, segmentStart = 0, position = 0, segmentLength = 0;
  };
  // A line as allocateTimeUpTo(1) sizes it: whole frames just above two seconds.
  explicit ReverseDelayKernel(float sr)
      : len(((int)(2.0f * sr) / 128 + 1) * 128), segment((int)(0.4f * sr)), fade((int)(0.005f * sr)) {
    left.buffer.resize(len);
    right.buffer.resize(len);
  }
  int len, segment, fade;
  Line left, right;
  void push(Line &line, const float *in, float *out, const float *feedback, int n) {
    float *s = line.buffer.data();
    int w = line.write, start = line.segmentStart, position = line.position, length = line.segmentLength;
    for (int i = 0; i < n; i++) {
      float gain;
      if (position >= length) {
        start = w;
        length = segment;
        position = 0;
        gain = 0.0f;
      } else {
        const int ramp = std::max(std::min(length / 4, fade), 1), remaining = length - position;
        gain = position < ramp ? (float)position / (float)ramp : (remaining < ramp ? (float)remaining / (float)ramp : 1.0f);
      }
      int r = start - 1 - position;
      while (r < 0) r += len;
      const float y = gain * s[r];
      out[i] = y;
      s[w] = in[i] + y * clampHigh(feedback[i], 0.0f, 1.0f);
      if (++w >= len) w = 0;
      position++;
    }
    line.write = w;
    line.segmentStart = start;
    line.position = position;
    line.segmentLength = length;
  }
  // Inputs: Left In, Feedback, Right In; outputs: Left Out, Right Out.
  void process(In in, Out out, int n) override {
    push(left, in[0], out[0], in[1], n);
    push(right, in[2], out[1], in[1], n);
  }
};

RegisterCompare comb(reference<CombKernel>("Comb", 2, 2));
RegisterCompare freeze(reference<FreezeKernel>("Freeze", 1, 1));
RegisterCompare tapDelay(reference<TapDelayKernel>("TapDelay", 1, 5));
RegisterCompare tapMixer(reference<TapMixerKernel>("TapDelayStereoMixer", 2, 2));
RegisterCompare pitchShifter(reference<PitchShifterKernel>("PitchShifter", 1, 1));
RegisterCompare pluck(reference<PluckKernel>("Pluck", 1, 1));
RegisterCompare reverseDelay(reference<ReverseDelayKernel>("ReverseDelay", 2, 2));
RegisterCompare unison(reference<UnisonKernel>("Unison", 2, 3));
RegisterCompare flanger(reference<FlangerKernel>("Flanger", 2, 2));
RegisterCompare leslie(reference<LeslieKernel>("Leslie", 2, 2));

} // namespace
} // namespace qvzbench
