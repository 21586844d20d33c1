#pragma once

#include <od/Object.h>
#include <od/RenderGate.h>

// Mono or stereo reverse echo: the input is cut into segments of "Delay" seconds, and
// during each segment the one recorded just before plays backwards with short linear fades
// at both ends. The memory is sized from Lua (allocateTimeUpTo, zero, deallocate); until
// then the unit passes its input through. They may run on any thread while frames run: a
// render gate keeps them apart from a frame, and a frame that meets a change in progress
// passes its input through.
class ReverseDelay : public od::Object {
public:
  explicit ReverseDelay(int channelCount);
  ~ReverseDelay() override;

  // Sizes the memory for a maximum delay of at least `seconds`; returns the maximum delay
  // available in seconds, or 0 when nothing is allocated.
  float allocateTimeUpTo(float seconds);
  void deallocate();
  void zero();
  // One frame, in seconds: the shortest segment.
  float minimumDelayTime();
  float maximumDelayTime();

  void process() OD_NONBLOCKING override;

  struct Line {
    float *buffer = nullptr;
    int writeIndex = 0;
    int segmentStart = 0;
    int position = 0;
    int segmentLength = 0;
  };

  void resetLine(Line &line);
  // Frees both buffers, resets everything, then takes `samples` zero-filled floats per line.
  // Returns true when every buffer needed was obtained; the buffer length is left to the caller.
  bool allocate(int samples);
  // One frame of the reverse engine on one line.
  void pushSamples(Line &line, const float *in, float *out, const float *feedback, int segmentLength,
                   int fadeLength);

  bool isStereo() const { return mChannelCount > 1; }
  int bufferLength() const { return mBufferLength; }
  int maximumDelay() const { return mMaximumDelay; }

  od::Inlet mLeftIn{"Left In"};
  od::Inlet mRightIn{"Right In"};
  od::Inlet mFeedback{"Feedback"};
  od::Parameter mDelay{"Delay", 1.0f};
  od::Outlet mLeftOut{"Left Out"};
  od::Outlet mRightOut{"Right Out"};

private:
  void freeBuffers();
  void passThrough(int n);

  Line mLeft;
  Line mRight;
  int mChannelCount;
  int mBufferLength = 0;
  int mMaximumDelay = 0;
  od::RenderGate mMemoryGate;
};
