#include "MidiFile.h"
#include "Failure.h"

#include <glib.h>
#include <smf.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <memory>

namespace qvz {

namespace {
struct SmfDeleter {
  void operator()(smf_t *smf) const { smf_delete(smf); }
};
// Status bytes of channel messages with two data bytes (note off/on, key pressure,
// controller, pitch bend) and one (program, channel pressure).
bool isChannelMessage(const unsigned char *bytes, int length) {
  return length >= 2 && bytes[0] >= 0x80 && bytes[0] < 0xF0;
}
// The library reports through GLib's log; its last message becomes part of ours instead.
class LibraryMessages {
public:
  LibraryMessages() { mHandler = g_log_set_handler(kDomain, G_LOG_LEVEL_MASK, keep, this); }
  ~LibraryMessages() { g_log_remove_handler(kDomain, mHandler); }
  std::string last() const { return mLast.empty() ? "" : ": " + mLast; }

private:
  static void keep(const gchar *, GLogLevelFlags, const gchar *message, gpointer self) {
    static_cast<LibraryMessages *>(self)->mLast = message ? message : "";
  }
  static constexpr const char *kDomain = "libsmf";
  guint mHandler;
  std::string mLast;
};
} // namespace

MidiFile::MidiFile(const std::string &path, int sampleRate) {
  std::FILE *probe = std::fopen(path.c_str(), "rb");
  if (!probe) throw Failure("cannot read MIDI file '" + path + "': " + std::strerror(errno));
  std::fclose(probe);
  LibraryMessages messages;
  std::unique_ptr<smf_t, SmfDeleter> smf(smf_load(path.c_str()));
  if (!smf) throw Failure("'" + path + "' is not a standard MIDI file" + messages.last());
  while (smf_event_t *event = smf_get_next_event(smf.get())) {
    if (smf_event_is_metadata(event) || smf_event_is_sysex(event)) continue;
    const unsigned char *bytes = event->midi_buffer;
    if (!isChannelMessage(bytes, event->midi_buffer_length)) continue;
    if (!std::isfinite(event->time_seconds) || event->time_seconds < 0.0) continue;
    const long sample = std::lround(event->time_seconds * sampleRate);
    const uint8_t second = event->midi_buffer_length > 2 ? bytes[2] : 0;
    mEvents.push_back({sample, {0, bytes[0], bytes[1], second}});
  }
  mFrame.reserve(od::MidiFrame::kCapacity);
}

void MidiFile::feedFrame(long frameStart, int frameLength) {
  mFrame.clear();
  const long end = frameStart + frameLength;
  for (; mNext < mEvents.size() && mEvents[mNext].sample < end; mNext++) {
    od::MidiEvent event = mEvents[mNext].event;
    event.offset = (int)std::max(0L, mEvents[mNext].sample - frameStart);
    if (mFrame.size() < (size_t)od::MidiFrame::kCapacity) mFrame.push_back(event);
  }
  od::MidiFrame::set(mFrame.data(), (int)mFrame.size());
}

} // namespace qvz
