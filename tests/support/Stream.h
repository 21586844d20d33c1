#pragma once

// Runs an object over a stream of whole frames: inlets are driven by functions of the
// running sample index (Stream) or written by a fill before each frame (stream, streamStereo),
// outlets are recorded into growing vectors.

#include "support/Harness.h"

#include <od/Object.h>
#include <od/config.h>

#include <cmath>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

namespace qvztest {

// Runs whole frames until `samples` samples exist. Before each frame `fill(start, n)` writes
// the inputs of samples start .. start + n - 1 (the test's fed buffers, indexed from 0); after
// it every outlet's whole frame is appended to its vector, and the vectors are cut to `samples`.
template <typename Fill>
void streamInto(od::Object &object, int samples, Fill fill, std::initializer_list<od::Outlet *> outlets,
                std::initializer_list<std::vector<float> *> into) {
  const int n = globalConfig.frameLength;
  for (int start = 0; start < samples; start += n) {
    fill(start, n);
    runFrame(object);
    for (size_t k = 0; k < outlets.size(); k++) {
      const float *frame = outlets.begin()[k]->buffer();
      into.begin()[k]->insert(into.begin()[k]->end(), frame, frame + n);
    }
  }
  for (std::vector<float> *v : into) v->resize(samples);
}

// One outlet of streamInto.
template <typename Fill> std::vector<float> stream(od::Object &object, od::Outlet &out, int samples, Fill fill) {
  std::vector<float> all;
  streamInto(object, samples, fill, {&out}, {&all});
  return all;
}

// A stereo pair of outlets of streamInto.
template <typename Fill>
void streamStereo(od::Object &object, od::Outlet &left, od::Outlet &right, int samples, std::vector<float> &l,
                  std::vector<float> &r, Fill fill) {
  streamInto(object, samples, fill, {&left, &right}, {&l, &r});
}

// A fill that changes nothing: the inlets keep their constants.
inline void keepInputs(int, int) {}

// Root mean square of v from index `from` to the end.
inline double rms(const std::vector<float> &v, size_t from) {
  double sum = 0;
  for (size_t i = from; i < v.size(); i++) sum += (double)v[i] * v[i];
  return std::sqrt(sum / (double)(v.size() - from));
}

class Stream {
public:
  explicit Stream(od::Object &object) : mObject(object) {}

  // Drives an inlet with signal(sampleIndex) from now on.
  void drive(od::Inlet &inlet, std::function<float(long)> signal) {
    mDriven.push_back({mFeeder.feed(inlet), std::move(signal)});
  }

  // Records an outlet; the vector grows with every frame run.
  const std::vector<float> &record(od::Outlet &outlet) {
    mRecorded.push_back({&outlet, std::make_unique<std::vector<float>>()});
    return *mRecorded.back().samples;
  }

  // Runs whole frames until at least `samples` more samples have been processed.
  void run(long samples) {
    const int n = globalConfig.frameLength & ~3;
    const int frame = globalConfig.frameLength;
    for (long done = 0; done < samples; done += frame) {
      for (auto &d : mDriven)
        for (int j = 0; j < frame; j++) d.buffer[j] = d.signal(mIndex + j);
      runFrame(mObject);
      for (auto &r : mRecorded) r.samples->insert(r.samples->end(), r.outlet->buffer(), r.outlet->buffer() + n);
      mIndex += n;
    }
  }

  long index() const { return mIndex; }

private:
  struct Driven {
    float *buffer;
    std::function<float(long)> signal;
  };
  struct Recorded {
    od::Outlet *outlet;
    std::unique_ptr<std::vector<float>> samples;
  };
  od::Object &mObject;
  Feeder mFeeder;
  std::vector<Driven> mDriven;
  std::vector<Recorded> mRecorded;
  long mIndex = 0;
};

// Signals for Stream::drive.
inline std::function<float(long)> impulseAt(long at, float value = 1.0f) {
  return [at, value](long i) { return i == at ? value : 0.0f; };
}
inline std::function<float(long)> constant(float value) {
  return [value](long) { return value; };
}

} // namespace qvztest
