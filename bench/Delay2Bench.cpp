#include "BenchRegistry.h"

#include "units/delay/Flanger.h"
#include "units/delay/Freeze.h"
#include "units/delay/Leslie.h"
#include "units/delay/PitchShifter.h"
#include "units/delay/Unison.h"

namespace qvzbench {
namespace {

RegisterBench flanger({"Flanger", [] { return new Flanger(); }, 2,
                       {{"In", audio()}, {"InR", audio()}, {"Rate", constant(0.3f)}, {"Depth", constant(0.8f)},
                        {"Feedback", constant(0.6f)}, {"Blend", constant(1.0f)}},
                       nullptr});

RegisterBench freeze({"Freeze", [] { return new Freeze(); }, 1,
                      {{"In", audio()}, {"Freeze", pulses(0.5f)}, {"Size", lfo(0.3f, 0.2f, 0.1f)}}, nullptr});

RegisterBench leslie({"Leslie", [] { return new Leslie(); }, 2,
                      {{"In", audio()}, {"Fast", pulses(0.2f)}, {"Depth", constant(1.0f)}, {"Drive", constant(0.5f)},
                       {"Blend", constant(1.0f)}},
                      nullptr});

RegisterBench unison({"Unison", [] { return new Unison(); }, 2,
                      {{"In", audio()}, {"Detune", constant(30.0f)}, {"Blend", constant(1.0f)}, {"Spread", constant(1.0f)}},
                      nullptr});

// Three voices at the intervals of the transposer it is compared with (an octave up, a fifth
// down, a fourth up): every wrap of a head runs a splice search.
RegisterBench pitchShifter({"PitchShifter", [] { return new PitchShifter(); }, 1,
                            {{"In", audio()}, {"Blend", constant(1.0f)}, {"Speed1", constant(2.0f)},
                             {"Speed2", constant(0.6674f)}, {"Speed3", constant(1.3348f)}},
                            [](od::Object *o) { static_cast<PitchShifter *>(o)->setVoiceCount(3); }});

} // namespace
} // namespace qvzbench
