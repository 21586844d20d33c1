#include <od/Midi.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace od {

namespace {
constexpr uint8_t kNoteOff = 0x80;
constexpr uint8_t kNoteOn = 0x90;
constexpr uint8_t kController = 0xB0;
constexpr uint8_t kAllNotesOff = 123;
constexpr float kMaxData = 127.0f;
constexpr int kReferenceNote = 69; // A4
constexpr double kReferenceHz = 440.0;
constexpr double kGlideSeconds = 0.005; // time constant of a controller's glide

uint8_t kindOf(const MidiEvent &event) { return event.status & 0xF0; }
} // namespace

MidiEvent MidiFrame::sEvents[MidiFrame::kCapacity];
int MidiFrame::sCount = 0;

int MidiFrame::set(const MidiEvent *events, int count) {
  sCount = std::max(0, std::min(count, kCapacity));
  if (sCount) std::memcpy(sEvents, events, sizeof(MidiEvent) * sCount);
  return sCount;
}

bool midiChannelMatches(const MidiEvent &event, float channelSetting) {
  // NaN or out of range falls back to any channel.
  if (!(channelSetting >= 0.5f && channelSetting < 16.5f)) return true;
  return (event.status & 0x0F) == (int)std::lround(channelSetting) - 1;
}

Midi::Midi() {
  addOutput(mGate);
  addOutput(mTrig);
  addOutput(mPitch);
  addOutput(mVelocity);
  addParameter(mChannel);
  mChannel.enableSerialization();
}

Midi::~Midi() = default;

void Midi::apply(const MidiEvent &event) {
  const uint8_t kind = kindOf(event);
  const int note = event.data1 & 0x7F;
  if (kind == kNoteOn && event.data2 > 0) {
    if (mHeld[note] < 255) mHeld[note]++;
    mHeldCount++;
    mPitchHz = (float)(kReferenceHz * std::exp2((note - kReferenceNote) / 12.0));
    mVelocityLevel = event.data2 / kMaxData;
    mRetrigger = mTrigLeft > 0;
    mTrigLeft = globalConfig.frameLength;
  } else if (kind == kNoteOff || kind == kNoteOn) {
    if (mHeld[note] > 0) {
      mHeld[note]--;
      mHeldCount--;
    }
  } else if (kind == kController && event.data1 == kAllNotesOff) {
    std::memset(mHeld, 0, sizeof mHeld);
    mHeldCount = 0;
  }
}

void Midi::process() {
  const int n = globalConfig.frameLength;
  float *gate = mGate.buffer(), *trig = mTrig.buffer(), *pitch = mPitch.buffer(), *velocity = mVelocity.buffer();
  const MidiEvent *events = MidiFrame::events();
  const int count = MidiFrame::count();
  const float channel = mChannel.value();
  int next = 0;
  for (int i = 0; i < n; i++) {
    for (; next < count && events[next].offset <= i; next++)
      if (midiChannelMatches(events[next], channel)) apply(events[next]);
    gate[i] = mHeldCount > 0 ? 1.0f : 0.0f;
    if (mRetrigger) {
      trig[i] = 0.0f;
      mRetrigger = false;
    } else {
      trig[i] = mTrigLeft > 0 ? 1.0f : 0.0f;
      if (mTrigLeft > 0) mTrigLeft--;
    }
    pitch[i] = mPitchHz;
    velocity[i] = mVelocityLevel;
  }
}

MidiCC::MidiCC(int number) : mNumber(std::max(0, std::min(number, 127))) {
  addOutput(mOut);
  addParameter(mChannel);
  mChannel.enableSerialization();
  mGlide = (float)(1.0 - std::exp(-1.0 / (kGlideSeconds * globalConfig.sampleRate)));
}

MidiCC::~MidiCC() = default;

void MidiCC::process() {
  const int n = globalConfig.frameLength;
  float *out = mOut.buffer();
  const MidiEvent *events = MidiFrame::events();
  const int count = MidiFrame::count();
  const float channel = mChannel.value();
  int next = 0;
  for (int i = 0; i < n; i++) {
    for (; next < count && events[next].offset <= i; next++) {
      const MidiEvent &event = events[next];
      if (kindOf(event) == kController && event.data1 == mNumber && midiChannelMatches(event, channel))
        mTarget = (event.data2 & 0x7F) / kMaxData;
    }
    mValue += (mTarget - mValue) * mGlide;
    out[i] = mValue;
  }
}

} // namespace od
