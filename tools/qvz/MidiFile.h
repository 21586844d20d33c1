#pragma once

#include <od/Midi.h>

#include <string>
#include <vector>

namespace qvz {

// The channel messages of a standard MIDI file, at their sample times, handed to the host's
// MIDI objects frame by frame during a render.
class MidiFile {
public:
  // Reads the file (all tracks merged in time order); throws Failure when it cannot.
  MidiFile(const std::string &path, int sampleRate);

  // Sets od::MidiFrame to the messages falling in [frameStart, frameStart + frameLength).
  // Frames must come in order.
  void feedFrame(long frameStart, int frameLength);

  size_t size() const { return mEvents.size(); }

private:
  struct Timed {
    long sample;
    od::MidiEvent event;
  };
  std::vector<Timed> mEvents;
  std::vector<od::MidiEvent> mFrame;
  size_t mNext = 0;
};

} // namespace qvz
