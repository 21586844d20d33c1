#pragma once

#include <od/Object.h>

#include <atomic>

namespace od {

class Sample;

// An object that plays a sample. The host installs samples through the virtual setSample,
// possibly from another thread than the one running frames; the head holds one reference on
// the sample it stores.
//
// A sample change is kept apart from a frame already rendering by the render gate: process()
// holds a RenderScope for the whole frame, and a setSample that runs on another thread first
// closes its own gate (so new frames render nothing) and then calls waitForRender(), which
// returns once no frame is in flight. process() itself never waits.
class Head : public Object {
public:
  Head();
  ~Head() override;

  // Stores the sample (null for none): attaches the new one, releases the previous one.
  virtual void setSample(Sample *sample);

  Sample *sample() const { return mSample; }
  int playPosition() const { return mPlayPosition; }

protected:
  // Marks a frame in flight for as long as it lives.
  class RenderScope {
  public:
    explicit RenderScope(Head &head) : mHead(head) { mHead.mRendering.store(true); }
    ~RenderScope() { mHead.mRendering.store(false); }
    RenderScope(const RenderScope &) = delete;
    RenderScope &operator=(const RenderScope &) = delete;

  private:
    Head &mHead;
  };

  // Returns once no frame of this head is rendering (yields while one is).
  void waitForRender() const;

  void setPlayPosition(int position) { mPlayPosition = position; }

private:
  Sample *mSample = nullptr;
  int mPlayPosition = 0;
  std::atomic<bool> mRendering{false};
};

} // namespace od
