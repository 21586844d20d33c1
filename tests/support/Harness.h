#pragma once

// Small helpers for driving units directly in C++ tests.

#include <od/Denormals.h>
#include <od/Object.h>
#include <od/Unit.h>
#include <od/config.h>

#include <cmath>
#include <memory>
#include <vector>

namespace qvztest {

// Sets the host configuration for the lifetime of a test and restores the default after.
class ConfigScope {
public:
  ConfigScope(int sampleRate, int frameLength) : mSaved(globalConfig) { od::configure(sampleRate, frameLength); }
  ~ConfigScope() { globalConfig = mSaved; }

private:
  od::GlobalConfig mSaved;
};

// Feeds inlets from buffers the test writes, frame by frame.
class Feeder {
public:
  // Connects the inlet to a fresh feed and returns the feed's buffer (one frame).
  float *feed(od::Inlet &inlet) {
    mFeeds.push_back(std::make_unique<od::Outlet>("feed"));
    inlet.connect(mFeeds.back().get());
    return mFeeds.back()->buffer();
  }

private:
  std::vector<std::unique_ptr<od::Outlet>> mFeeds;
};

// One frame as the host runs it: parameters, then process, with denormals flushed.
inline void runFrame(od::Object &object) {
  od::DenormalGuard guard;
  object.updateParameters();
  object.process();
}

// One frame of a unit as the host runs it: the unit's process(), denormals flushed.
inline void runFrame(od::Unit &unit) {
  od::DenormalGuard guard;
  unit.process();
}

// Units are reference counted; tests hold them the way the host does.
template <typename T> struct Held {
  template <typename... A> explicit Held(A &&...args) : object(new T(std::forward<A>(args)...)) { object->attach(); }
  // Holds one made elsewhere (by a factory).
  explicit Held(T *made) : object(made) { object->attach(); }
  ~Held() { object->release(); }
  Held(const Held &) = delete;
  Held &operator=(const Held &) = delete;
  T *operator->() const { return object; }
  T &operator*() const { return *object; }
  T *object;
};

// An object made elsewhere (a registry or family factory), held, with every inlet fed
// from the test: feeds[i] is inlet i's frame.
struct FedObject {
  explicit FedObject(od::Object *made) : held(made), object(made) {
    for (int i = 0; i < object->inputCount(); i++) feeds.push_back(feeder.feed(*object->getInput(i)));
  }

  // Writes one frame of every inlet: feeds[i][j] = signal(i, frameIndex x frame length + j).
  template <typename Signal> void fill(long frameIndex, Signal signal) {
    const int n = globalConfig.frameLength;
    for (size_t i = 0; i < feeds.size(); i++)
      for (int j = 0; j < n; j++) feeds[i][j] = signal((int)i, frameIndex * n + j);
  }
  void fillSilence() {
    fill(0, [](int, long) { return 0.0f; });
  }

  // Appends this frame of every outlet, one after another.
  void appendOutputs(std::vector<float> &into) const {
    for (int o = 0; o < object->outputCount(); o++) {
      const float *b = object->getOutput(o)->buffer();
      into.insert(into.end(), b, b + globalConfig.frameLength);
    }
  }
  std::vector<float> outputs() const {
    std::vector<float> all;
    appendOutputs(all);
    return all;
  }

  // The first outlet sample of this frame that is not finite (outlet x kMaxFrameLength +
  // sample), or -1.
  int firstNonFinite() const {
    for (int o = 0; o < object->outputCount(); o++) {
      const float *b = object->getOutput(o)->buffer();
      for (int j = 0; j < globalConfig.frameLength; j++)
        if (!std::isfinite(b[j])) return o * od::kMaxFrameLength + j;
    }
    return -1;
  }

  Held<od::Object> held;
  od::Object *object;
  Feeder feeder;
  std::vector<float *> feeds;
};

} // namespace qvztest
