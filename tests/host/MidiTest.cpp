#include <od/Midi.h>

#include "support/Harness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr int kRate = 48000;
constexpr int kFrame = 16;

od::MidiEvent noteOn(int offset, int note, int velocity, int channel = 0) {
  return {offset, (uint8_t)(0x90 | channel), (uint8_t)note, (uint8_t)velocity};
}
od::MidiEvent noteOff(int offset, int note) { return {offset, 0x80, (uint8_t)note, 0}; }
od::MidiEvent controller(int offset, int number, int value, int channel = 0) {
  return {offset, (uint8_t)(0xB0 | channel), (uint8_t)number, (uint8_t)value};
}

// Runs one frame with these messages and returns the outlet's samples.
std::vector<float> frame(od::Object &object, const std::vector<od::MidiEvent> &events, const char *outlet) {
  od::MidiFrame::set(events.data(), (int)events.size());
  qvztest::runFrame(object);
  od::MidiFrame::clear();
  const float *out = object.getOutput(outlet)->buffer();
  return std::vector<float>(out, out + kFrame);
}

TEST(Midi, NotesDriveGatePitchVelocityAndTriggerAtTheirSamples) {
  qvztest::ConfigScope config(kRate, kFrame);
  qvztest::Held<od::Midi> midi;
  frame(*midi, {noteOn(5, 69, 127), noteOn(9, 81, 64)}, "Gate");
  const float *gate = midi->mGate.buffer(), *trig = midi->mTrig.buffer(), *pitch = midi->mPitch.buffer();
  EXPECT_EQ(gate[4], 0.0f);
  EXPECT_EQ(gate[5], 1.0f);
  EXPECT_EQ(trig[4], 0.0f);
  EXPECT_EQ(trig[5], 1.0f);
  // A second note during the pulse: one low sample makes a new edge.
  EXPECT_EQ(trig[9], 0.0f);
  EXPECT_EQ(trig[10], 1.0f);
  EXPECT_FLOAT_EQ(pitch[8], 440.0f);
  EXPECT_FLOAT_EQ(pitch[9], 880.0f);
  EXPECT_NEAR(midi->mVelocity.buffer()[15], 64.0f / 127.0f, 1e-6f);

  // The pulse lasts one frame's length from the last note-on, then the gate holds until
  // every note is released (a note-on of velocity 0 releases too).
  std::vector<float> next = frame(*midi, {noteOff(2, 69), noteOn(6, 81, 0)}, "Gate");
  EXPECT_EQ(next[5], 1.0f);
  EXPECT_EQ(next[6], 0.0f);
  EXPECT_EQ(midi->mTrig.buffer()[9], 1.0f);
  EXPECT_EQ(midi->mTrig.buffer()[10], 0.0f);
  EXPECT_FLOAT_EQ(midi->mPitch.buffer()[15], 880.0f);
}

TEST(Midi, ChannelSettingFiltersAndAllNotesOffReleases) {
  qvztest::ConfigScope config(kRate, kFrame);
  qvztest::Held<od::Midi> midi;
  midi->mChannel.hardSet(2.0f);
  EXPECT_EQ(frame(*midi, {noteOn(0, 60, 100, 0)}, "Gate")[15], 0.0f);
  EXPECT_EQ(frame(*midi, {noteOn(0, 60, 100, 1), noteOn(1, 62, 100, 1)}, "Gate")[15], 1.0f);
  EXPECT_EQ(frame(*midi, {controller(3, 123, 0, 1)}, "Gate")[3], 0.0f);
}

TEST(MidiCC, FollowsItsControllerWithAShortGlide) {
  qvztest::ConfigScope config(kRate, kFrame);
  qvztest::Held<od::MidiCC> cc(7);
  std::vector<float> out = frame(*cc, {controller(4, 8, 127), controller(8, 7, 127)}, "Out");
  EXPECT_EQ(out[7], 0.0f); // another controller moves nothing
  EXPECT_GT(out[8], 0.0f);
  EXPECT_LT(out[15], 0.1f);
  // A time constant of 5 ms: within 1 % after 23 ms; 80 frames of 16 are 27 ms.
  for (int i = 0; i < 80; i++) out = frame(*cc, {}, "Out");
  EXPECT_NEAR(out[15], 1.0f, 0.01f);
  EXPECT_LE(out[15], 1.0f);
}

TEST(MidiFrame, KeepsAtMostItsCapacity) {
  std::vector<od::MidiEvent> many(od::MidiFrame::kCapacity + 10, noteOn(0, 60, 1));
  EXPECT_EQ(od::MidiFrame::set(many.data(), (int)many.size()), od::MidiFrame::kCapacity);
  od::MidiFrame::clear();
  EXPECT_EQ(od::MidiFrame::count(), 0);
}

} // namespace
