#pragma once

// A minimal object for wiring tests: "Out" = "In" x factor, and it counts its frames.

#include <od/Object.h>

#include <atomic>

namespace qvztest {

class Scale : public od::Object {
public:
  explicit Scale(float factor = 1.0f) : mFactor(factor) {
    addInput(mIn);
    addOutput(mOut);
  }
  void process() override {
    const float *in = mIn.buffer();
    float *out = mOut.buffer();
    for (int j = 0; j < globalConfig.frameLength; j++) out[j] = in[j] * mFactor;
    mFrames.fetch_add(1, std::memory_order_relaxed);
  }
  int frames() const { return mFrames.load(std::memory_order_relaxed); }

  od::Inlet mIn{"In"};
  od::Outlet mOut{"Out"};

private:
  float mFactor;
  std::atomic<int> mFrames{0};
};

} // namespace qvztest
