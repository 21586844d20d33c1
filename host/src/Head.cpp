#include <od/Head.h>
#include <od/Sample.h>

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

} // namespace od
