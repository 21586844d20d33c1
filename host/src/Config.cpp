#include <od/config.h>

od::GlobalConfig globalConfig = {128, 48000, 1.0f / 48000.0f};

namespace od {

bool configure(int sampleRate, int frameLength) {
  if (sampleRate < kMinSampleRate || sampleRate > kMaxSampleRate) return false;
  if (frameLength < 1 || frameLength > kMaxFrameLength) return false;
  globalConfig.sampleRate = sampleRate;
  globalConfig.frameLength = frameLength;
  globalConfig.samplePeriod = 1.0f / (float)sampleRate;
  return true;
}

} // namespace od
