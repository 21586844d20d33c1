#pragma once

#include <od/Object.h>
#include <od/RenderGate.h>

namespace od {

class Sample;

// An object that plays a sample. The host installs samples through the virtual setSample,
// possibly from another thread than the one running frames; the head holds one reference on
// the sample it stores.
//
// A sample change is kept apart from a frame already rendering by the head's render gate:
// process() holds a RenderGate::Frame for the whole frame, and a setSample that may run on
// another thread holds a RenderGate::Change. process() itself never waits.
class Head : public Object {
public:
  Head();
  ~Head() override;

  // Stores the sample (null for none): attaches the new one, releases the previous one.
  virtual void setSample(Sample *sample);

  Sample *sample() const { return mSample; }
  int playPosition() const { return mPlayPosition; }

protected:
  RenderGate &renderGate() { return mRenderGate; }

  void setPlayPosition(int position) { mPlayPosition = position; }

private:
  Sample *mSample = nullptr;
  int mPlayPosition = 0;
  RenderGate mRenderGate;
};

} // namespace od
