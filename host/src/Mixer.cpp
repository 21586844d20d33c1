#include "Controls.h"

#include <od/Mixer.h>

#include <algorithm>
#include <string>

namespace od {

Mixer::Mixer(int channels) {
  const int n = std::clamp(channels, kMinChannels, kMaxChannels);
  for (int k = 1; k <= n; k++) mIns.push_back(std::make_unique<Inlet>("In" + std::to_string(k)));
  for (int k = 1; k <= n; k++) mGains.push_back(std::make_unique<Inlet>("Gain" + std::to_string(k)));
  for (auto &in : mIns) addInput(*in);
  for (auto &gain : mGains) {
    addInput(*gain);
    gain->setConstant(1.0f);
  }
  addOutput(mOut);
}

Mixer::~Mixer() = default;

void Mixer::process() {
  const int n = globalConfig.frameLength;
  float *out = mOut.buffer();
  for (int i = 0; i < n; i++) out[i] = 0.0f;
  for (size_t k = 0; k < mIns.size(); k++) {
    const float *in = mIns[k]->buffer();
    const float *gain = mGains[k]->buffer();
    for (int i = 0; i < n; i++) out[i] += in[i] * levelControl(gain[i]);
  }
}

} // namespace od
