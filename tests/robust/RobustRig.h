#pragma once

// Shared machinery of the robustness tests: a registered unit with every inlet fed from
// the test, and seeded random control vectors over its inlets, parameters and options.

#include "support/Harness.h"
#include "support/UnitRegistry.h"

#include <od/BigHeap.h>
#include <od/Random.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace qvzrobust {

// How a control vector was drawn.
enum class Kind { InRange, Edge, Hostile };

inline const char *kindName(Kind kind) {
  switch (kind) {
  case Kind::InRange: return "in range";
  case Kind::Edge: return "edge";
  default: return "hostile";
  }
}

// Values that sit at or past the edge of any sensible range but are still ordinary floats.
inline const std::vector<float> &edgeValues() {
  static const std::vector<float> values{-1.0f, 0.0f, 1.0f, -0.0f, 1e-40f, -1e-40f, 10.0f, -10.0f, 1000.0f, -1000.0f};
  return values;
}

// Values no patch should ever send: not numbers, infinities and floats near the top of the range.
inline const std::vector<float> &hostileValues() {
  static const std::vector<float> values{NAN, -NAN, INFINITY, -INFINITY, 1e30f, -1e30f, FLT_MAX, -FLT_MAX};
  return values;
}

inline const std::vector<int> &edgeOptions() {
  static const std::vector<int> values{-1, 0, 10, 100};
  return values;
}

inline const std::vector<int> &hostileOptions() {
  static const std::vector<int> values{INT_MIN, INT_MAX, -1000000, 1 << 30};
  return values;
}

// One setting of every control of a unit, held for a few frames.
struct ControlVector {
  Kind kind = Kind::InRange;
  std::vector<float> inlets;
  std::vector<float> parameters;
  std::vector<bool> hardSet;
  std::vector<int> options;
  int frames = 1;
};

inline std::string formatFloat(float v) {
  char text[48];
  if (std::isnan(v)) return std::signbit(v) ? "-nan" : "nan";
  if (v == 0.0f && std::signbit(v)) return "-0";
  std::snprintf(text, sizeof text, "%.9g", (double)v);
  return text;
}

// A unit built from its registry entry, every inlet connected to a feed the test fills.
struct Rig : qvztest::FedObject {
  explicit Rig(const qvztest::UnitEntry &unit) : Rig(unit, od::BigHeap::inUse()) {}

  // Seconds of audio the unit's delay memory can hold (an upper bound on its longest line).
  float heapSeconds() const { return (float)heapBytes / (4.0f * (float)globalConfig.sampleRate); }

  void apply(const ControlVector &v) {
    for (int i = 0; i < object->parameterCount(); i++) {
      if (v.hardSet[i]) object->getParameter(i)->hardSet(v.parameters[i]);
      else object->getParameter(i)->set(v.parameters[i]);
    }
    for (int i = 0; i < object->optionCount(); i++) object->getOption(i)->set(v.options[i]);
  }

  // Fills the inlets for one frame: in-range vectors wobble around their value so audio
  // paths see a signal; edge and hostile values are held exactly.
  void fill(const ControlVector &v, long frameIndex) {
    FedObject::fill(frameIndex, [&v](int i, long k) {
      return v.kind == Kind::InRange ? v.inlets[i] + 0.25f * sinf((float)k * (0.013f * (float)(i + 1))) : v.inlets[i];
    });
  }

  std::string describe(const ControlVector &v) const {
    std::ostringstream s;
    s << kindName(v.kind) << " vector for " << v.frames << " frame(s):";
    for (int i = 0; i < object->inputCount(); i++)
      s << " in[" << object->getInput(i)->name() << "]=" << formatFloat(v.inlets[i]);
    for (int i = 0; i < object->parameterCount(); i++)
      s << " param[" << object->getParameter(i)->name() << "]=" << formatFloat(v.parameters[i])
        << (v.hardSet[i] ? "(hard)" : "");
    for (int i = 0; i < object->optionCount(); i++)
      s << " option[" << object->getOption(i)->name() << "]=" << v.options[i];
    return s.str();
  }

  const qvztest::UnitEntry &entry;
  const size_t heapBytes; // what making the unit took from the heap

private:
  Rig(const qvztest::UnitEntry &unit, size_t heapBefore)
      : FedObject(unit.make()), entry(unit), heapBytes(od::BigHeap::inUse() - heapBefore) {}
};

// Draws control vectors for a unit from a seed; the same seed gives the same vectors.
class VectorSource {
public:
  explicit VectorSource(uint32_t seed) : mRandom(seed) {}

  ControlVector draw(const od::Object &object, Kind kind) {
    od::Object &o = const_cast<od::Object &>(object);
    ControlVector v;
    v.kind = kind;
    v.frames = 1 + (int)(mRandom() % 3);
    for (int i = 0; i < o.inputCount(); i++) v.inlets.push_back(value(kind, uniform(-1.0f, 1.0f)));
    for (int i = 0; i < o.parameterCount(); i++) {
      const float d = o.getParameter(i)->defaultValue();
      const float spread = std::fabs(d) > 1.0f ? std::fabs(d) : 1.0f;
      v.parameters.push_back(value(kind, d + spread * uniform(-1.0f, 1.0f)));
      v.hardSet.push_back(mRandom() % 2 == 0);
    }
    for (int i = 0; i < o.optionCount(); i++) v.options.push_back(option(kind));
    return v;
  }

  // 70 % in range, 10 % at the edges, 20 % hostile.
  Kind mixedKind() {
    const uint32_t r = mRandom() % 10;
    return r < 7 ? Kind::InRange : r < 8 ? Kind::Edge : Kind::Hostile;
  }

  // In range or at the edges only, in the same 7 : 1 proportion.
  Kind finiteKind() { return mRandom() % 8 < 7 ? Kind::InRange : Kind::Edge; }

private:
  float uniform(float lo, float hi) { return lo + (hi - lo) * (float)(mRandom() % 1000001) / 1000000.0f; }

  // Edge vectors put an edge value on about half the slots; hostile vectors put a hostile
  // value on about a third and edge or in-range values elsewhere.
  float value(Kind kind, float inRange) {
    const uint32_t r = mRandom() % 6;
    if (kind == Kind::Hostile && r < 2) return pick(hostileValues());
    if (kind != Kind::InRange && r < 4) return pick(edgeValues());
    return inRange;
  }

  int option(Kind kind) {
    const uint32_t r = mRandom() % 6;
    if (kind == Kind::Hostile && r < 2) return pick(hostileOptions());
    if (kind != Kind::InRange && r < 4) return pick(edgeOptions());
    return (int)(mRandom() % 10);
  }

  template <typename T> T pick(const std::vector<T> &values) { return values[mRandom() % values.size()]; }

  std::mt19937 mRandom;
};

// A seed for one (seed, class, rate, frame length) run that does not depend on registry order.
inline uint32_t runSeed(uint32_t seed, const std::string &name, int rate, int frameLength) {
  uint32_t h = 2166136261u ^ seed;
  for (char c : name) h = (h ^ (uint8_t)c) * 16777619u;
  h = (h ^ (uint32_t)rate) * 16777619u;
  h = (h ^ (uint32_t)frameLength) * 16777619u;
  return h;
}

} // namespace qvzrobust
