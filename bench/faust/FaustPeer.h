#pragma once

// The few host types a Faust-generated class refers to, and its registration as a peer.

#include "BenchRegistry.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#ifndef FAUSTFLOAT
#define FAUSTFLOAT float
#endif
#ifndef RESTRICT
#define RESTRICT __restrict__
#endif

struct Soundfile;

class Meta {
public:
  virtual ~Meta() = default;
  virtual void declare(const char *key, const char *value) = 0;
};

// Only the box calls are used: the peers have no controls.
class UI {
public:
  virtual ~UI() = default;
  virtual void openTabBox(const char *) {}
  virtual void openHorizontalBox(const char *) {}
  virtual void openVerticalBox(const char *) {}
  virtual void closeBox() {}
  virtual void declare(FAUSTFLOAT *, const char *, const char *) {}
};

class dsp {
public:
  virtual ~dsp() = default;
};

namespace qvzbench {

struct FaustMeta : Meta {
  std::string unit, label;
  int channels = 1;
  double target = 0.0;
  void declare(const char *key, const char *value) override {
    if (std::strcmp(key, "qvz_unit") == 0) unit = value;
    else if (std::strcmp(key, "qvz_label") == 0) label = value;
    else if (std::strcmp(key, "qvz_channels") == 0) channels = std::atoi(value);
    else if (std::strcmp(key, "qvz_target") == 0) target = std::atof(value);
  }
};

template <typename D> class FaustKernel : public Kernel {
public:
  explicit FaustKernel(float sampleRate) { mDsp.init((int)sampleRate); }
  void process(const float *const *inputs, float *const *outputs, int frameLength) override {
    mDsp.compute(frameLength, const_cast<float **>(inputs), const_cast<float **>(outputs));
  }

private:
  D mDsp;
};

template <typename D> struct RegisterFaustPeer {
  RegisterFaustPeer() {
    D probe;
    FaustMeta meta;
    probe.metadata(&meta);
    CompareEntry entry{meta.unit, CompareKind::Peer, meta.label, meta.channels,
                       std::vector<Driver>((size_t)probe.getNumInputs(), audio()), probe.getNumOutputs(), meta.target,
                       [](float sampleRate) { return std::unique_ptr<Kernel>(new FaustKernel<D>(sampleRate)); }};
    compareRegistry().push_back(std::move(entry));
  }
};

} // namespace qvzbench
