#include <od/Noise.h>
#include <od/Random.h>

namespace od {

Noise::Noise() {
  addInput(mLevel);
  addOutput(mOut);
  mLevel.setConstant(1.0f);
}

Noise::~Noise() = default;

void Noise::process() {
  const int n = globalConfig.frameLength;
  const float *level = mLevel.buffer();
  float *out = mOut.buffer();
  for (int i = 0; i < n; i++) out[i] = level[i] * Random::generateFloat(-1.0f, 1.0f);
}

} // namespace od
