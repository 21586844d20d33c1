#include <od/Description.h>

// The host's own objects, one line each: X(Name) names NameDescription beside the object.
#define QVZ_HOST_OBJECTS(X) X(Sine) X(Noise) X(Clock) X(Player) X(Monitor) X(Midi) X(MidiCC) X(Mixer) X(Gain) \
  X(Oscillator) X(LFO) X(Envelope) X(Follower) X(Filter) X(Sequencer) X(FrameDelay)

#define QVZ_DECLARE(name) extern const od::ClassDescription name##Description;
QVZ_HOST_OBJECTS(QVZ_DECLARE)
#undef QVZ_DECLARE

namespace od {

namespace {
#define QVZ_ENTRY(name) &name##Description,
const ClassDescription *const kHost[] = {QVZ_HOST_OBJECTS(QVZ_ENTRY)};
#undef QVZ_ENTRY
} // namespace

ClassList hostDescriptions() { return {kHost, (int)(sizeof kHost / sizeof kHost[0])}; }

} // namespace od
