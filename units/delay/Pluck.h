#pragma once

#include <od/Object.h>
#include <od/RenderGate.h>

// Four-voice plucked-string resonator. Each voice is a delay line closed by a Lagrange
// fractional-delay read, a one-pole lowpass (the damping) and a DC blocker, with a loop gain
// that sets the decay. A rising "Trigger" moves to the next voice and tunes it to "f0" for
// 5 ms; "In" excites the current voice. The memory is sized from Lua (allocateTimeUpTo,
// zero, deallocate), from any thread while frames run: a render gate keeps those calls apart
// from a frame, and a frame that meets a change in progress gives silence.
class Pluck : public od::Object {
public:
  explicit Pluck(float longestLoopSeconds);
  ~Pluck() override;

  // Sizes the four lines for loops up to `seconds`; returns the line length in seconds, or
  // 0 when nothing is allocated.
  float allocateTimeUpTo(float seconds);
  void deallocate();
  void zero();

  void process() OD_NONBLOCKING override;

  static constexpr int kVoices = 4;

  // Loop delay (samples) and loop gain of a voice at `frequency`, for a lowpass pole c,
  // a decay rate kappa (log amplitude per sample) and a line of lineLength samples.
  struct Loop {
    float delay;
    float gain;
  };
  static Loop loopFor(float frequency, float c, float kappa, int lineLength, float sampleRate);

  int lineLength() const { return mLineLength; }
  int currentVoice() const { return mCurrentVoice; }
  float voiceFrequency(int voice) const { return mFrequency[voice]; }

  od::Inlet mIn{"In"};
  od::Inlet mTrigger{"Trigger"};
  od::Inlet mF0{"f0"};
  od::Inlet mDamp{"Damp"};
  od::Inlet mDecay{"Decay"};
  od::Outlet mOut{"Out"};

private:
  void releaseMemory();

  char *mMemory = nullptr;
  float *mLine[kVoices] = {nullptr, nullptr, nullptr, nullptr};
  int mLineLength = 0;
  int mWriteIndex = 0;
  float mFrequency[kVoices] = {110.0f, 110.0f, 110.0f, 110.0f};
  float mLowpass[kVoices] = {};
  float mDcIn[kVoices] = {};
  float mDcOut[kVoices] = {};
  int mCurrentVoice = 0;
  int mRetuneCountdown = 0;
  float mPreviousTrigger = 0.0f;
  od::RenderGate mMemoryGate;
};
