#include <od/Player.h>

#include <cmath>

namespace od {

Player::Player() {
  addOutput(mLeftOut);
  addOutput(mRightOut);
  addOption(mLoop);
}

Player::~Player() { setSample(nullptr); }

void Player::setSample(Sample *sample) {
  if (sample) sample->attach();
  if (mSample) mSample->release();
  mSample = sample;
  mPosition = 0.0;
}

void Player::process() {
  const int n = globalConfig.frameLength;
  float *left = mLeftOut.buffer();
  float *right = mRightOut.buffer();
  const int frames = mSample ? mSample->frames() : 0;
  if (frames == 0) {
    for (int i = 0; i < n; i++) left[i] = right[i] = 0.0f;
    return;
  }
  const float *data = mSample->data();
  const int channels = mSample->channels();
  const int rightChannel = channels > 1 ? 1 : 0;
  const double step = std::isfinite(mSample->rate()) && mSample->rate() > 0.0f
                          ? (double)mSample->rate() / sampleRate()
                          : 1.0;
  const bool loop = mLoop.value() != 0;

  for (int i = 0; i < n; i++) {
    if (mPosition >= frames) {
      if (!loop) {
        left[i] = right[i] = 0.0f;
        continue;
      }
      mPosition = std::fmod(mPosition, (double)frames);
    }
    const int index = (int)mPosition;
    const float fraction = (float)(mPosition - index);
    // The frame after the last is the first when looping, silence otherwise.
    const int nextIndex = index + 1 < frames ? index + 1 : (loop ? 0 : -1);
    auto read = [&](int channel) {
      const float here = data[(size_t)index * channels + channel];
      const float next = nextIndex < 0 ? 0.0f : data[(size_t)nextIndex * channels + channel];
      return here + (next - here) * fraction;
    };
    left[i] = read(0);
    right[i] = read(rightChannel);
    mPosition += step;
  }
}

} // namespace od
