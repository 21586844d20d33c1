#pragma once

#include <od/Object.h>

#include <cstdint>

namespace od {

// One channel message, placed at a sample of the current frame.
struct MidiEvent {
  int offset;      // sample within the frame, 0 .. frameLength - 1
  uint8_t status;  // with the channel in the low four bits
  uint8_t data1;
  uint8_t data2;
};

// The MIDI messages of the frame about to run, in order of offset. The host sets them before
// each frame (the same list serves every object of every patch running that frame); the
// objects read them in process(). Only the thread that runs the frames touches it.
class MidiFrame {
public:
  static constexpr int kCapacity = 512; // messages per frame; later ones are dropped

  // Copies up to kCapacity messages; returns how many were kept.
  static int set(const MidiEvent *events, int count);
  static void clear() { sCount = 0; }
  static const MidiEvent *events() { return sEvents; }
  static int count() { return sCount; }

private:
  static MidiEvent sEvents[kCapacity];
  static int sCount;
};

// Notes of one channel ("Channel" 1..16, 0 = any), last note first: "Gate" is high while a
// note is held, "Trig" is high for one frame's length from each note-on, "Pitch" is the last
// note's frequency in Hz (equal temperament, A4 = 440 Hz) and "Velocity" its velocity, 0..1.
class Midi : public Object {
public:
  Midi();
  ~Midi() override;

  void process() OD_NONBLOCKING override;

  Outlet mGate{"Gate"};
  Outlet mTrig{"Trig"};
  Outlet mPitch{"Pitch"};
  Outlet mVelocity{"Velocity"};
  Parameter mChannel{"Channel", 0.0f};

private:
  void apply(const MidiEvent &event);

  uint8_t mHeld[128] = {}; // note-ons not yet released, per note
  int mHeldCount = 0;
  float mPitchHz = 0.0f;
  float mVelocityLevel = 0.0f;
  int mTrigLeft = 0;       // samples of the current trigger pulse still to come
  bool mRetrigger = false; // a note-on during a pulse: one low sample first
};

// One controller ("Out", 0..1) of one channel ("Channel" 1..16, 0 = any), gliding to each new
// value with a time constant of a few milliseconds so that its 128 steps do not click.
class MidiCC : public Object {
public:
  explicit MidiCC(int number);
  ~MidiCC() override;

  void process() OD_NONBLOCKING override;
  int number() const { return mNumber; }

  Outlet mOut{"Out"};
  Parameter mChannel{"Channel", 0.0f};

private:
  int mNumber;
  float mTarget = 0.0f;
  float mValue = 0.0f;
  float mGlide; // one-pole coefficient per sample
};

// Whether a message's channel (status low nibble, 0..15) is one a "Channel" setting accepts.
bool midiChannelMatches(const MidiEvent &event, float channelSetting);

} // namespace od
