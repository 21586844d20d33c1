#include <od/FrameDelay.h>

#include <algorithm>

namespace od {

FrameDelay::FrameDelay() : mKept(kMaxFrameLength, 0.0f) {
  addInput(mIn);
  addOutput(mOut);
}

FrameDelay::~FrameDelay() = default;

void FrameDelay::emit() { std::copy_n(mKept.data(), globalConfig.frameLength, mOut.buffer()); }

void FrameDelay::latch() { std::copy_n(mIn.buffer(), globalConfig.frameLength, mKept.data()); }

void FrameDelay::process() {
  emit();
  latch();
}

} // namespace od
