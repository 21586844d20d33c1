#include <od/Description.h>

#include <cstring>
#include <initializer_list>

// Every class of the library, one line each, in family order (distortion and dynamics,
// wet/dry mixing, delays, pitch and modulation delays, granular, drums, display). Each X(Name)
// names the description NameDescription defined beside the class.
#define QVZ_LIBRARY_CLASSES(X) \
  X(BitCrush)             \
  X(SoftClip)             \
  X(CompressorObject)     \
  X(Exciter)              \
  X(FuzzBox)              \
  X(Lofi)                 \
  X(Grotesque)            \
  X(Shaper)               \
  X(BandSpreader)         \
  X(WetDryFade)           \
  X(WetDryUnit)           \
  X(TapDelay)             \
  X(TapDelayStereoMixer)  \
  X(ReverseDelay)         \
  X(Pluck)                \
  X(Comb)                 \
  X(Flanger)              \
  X(Freeze)               \
  X(Leslie)               \
  X(Unison)               \
  X(PitchShifter)         \
  X(MorphoHead)           \
  X(Kick)                 \
  X(Snare)                \
  X(HiHat)                \
  X(Tom)                  \
  X(Cowbell)              \
  X(Cymbal)               \
  X(CatPhoto)

#define QVZ_DECLARE(name) extern const od::ClassDescription name##Description;
QVZ_LIBRARY_CLASSES(QVZ_DECLARE)
#undef QVZ_DECLARE

namespace od {

namespace {
#define QVZ_ENTRY(name) &name##Description,
const ClassDescription *const kLibrary[] = {QVZ_LIBRARY_CLASSES(QVZ_ENTRY)};
#undef QVZ_ENTRY
} // namespace

ClassList libraryDescriptions() { return {kLibrary, (int)(sizeof kLibrary / sizeof kLibrary[0])}; }

const ClassDescription *findDescription(const char *className) {
  for (ClassList list : {libraryDescriptions(), hostDescriptions()})
    for (const ClassDescription *description : list)
      if (std::strcmp(description->name, className) == 0) return description;
  return nullptr;
}

} // namespace od
