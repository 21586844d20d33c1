#include <od/Head.h>
#include <od/Sample.h>

#include <thread>

namespace od {

Head::Head() = default;

Head::~Head() {
  if (mSample) mSample->release();
}

void Head::setSample(Sample *sample) {
  if (sample) sample->attach();
  Sample *previous = mSample;
  mSample = sample;
  if (previous) previous->release();
}

void Head::waitForRender() const {
  while (mRendering.load()) std::this_thread::yield();
}

} // namespace od
