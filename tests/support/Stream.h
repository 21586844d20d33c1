#pragma once

// Runs an object over a stream of whole frames: inlets are driven by functions of the
// running sample index, outlets are recorded into growing vectors.

#include "support/Harness.h"

#include <functional>
#include <memory>
#include <vector>

namespace qvztest {

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
