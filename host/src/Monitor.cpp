#include <od/Monitor.h>

namespace od {

Monitor::Monitor() {
  addInput(mIn);
  addOutput(mOut);
}

Monitor::~Monitor() = default;

void Monitor::process() {
  const float *in = mIn.buffer();
  float *out = mOut.buffer();
  for (int j = 0; j < globalConfig.frameLength; j++) out[j] = in[j];
}

} // namespace od
