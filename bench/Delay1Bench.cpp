#include "BenchRegistry.h"

#include "units/delay/Comb.h"
#include "units/delay/Pluck.h"
#include "units/delay/ReverseDelay.h"
#include "units/delay/TapDelay.h"

namespace qvzbench {
namespace {

RegisterBench tapDelay({"TapDelay", [] { return new TapDelay(); }, 1,
                        {{"Time", lfo(0.25f, 0.1f, 0.1f)},
                         {"Feedback", constant(0.5f)},
                         {"Reverse", constant(0.0f)},
                         {"Pitch1", constant(2.0f)},
                         {"Pitch2", lfo(1.0f, 0.02f, 0.3f)},
                         {"Pitch3", constant(0.5f)},
                         {"Pitch4", constant(-1.0f)}},
                        nullptr});

RegisterBench tapDelayStereoMixer({"TapDelayStereoMixer", [] { return new TapDelayStereoMixer(); }, 2,
                                   {{"Tap1L", audio()}, {"Tap2R", audio()}, {"Pan1", lfo(0.0f, 1.0f, 0.2f)}},
                                   nullptr});

RegisterBench reverseDelay({"ReverseDelay", [] { return new ReverseDelay(2); }, 2,
                            {{"Right In", audio()}, {"Feedback", constant(0.3f)}},
                            [](od::Object *o) {
                              static_cast<ReverseDelay *>(o)->allocateTimeUpTo(1.0f);
                              o->getParameter("Delay")->hardSet(0.3f);
                            }});

RegisterBench pluck({"Pluck", [] { return new Pluck(0.05f); }, 1,
                     {{"Trigger", pulses(8.0f)}, {"f0", lfo(300.0f, 200.0f, 0.3f)}, {"Damp", constant(4000.0f)},
                      {"Decay", constant(0.8f)}},
                     nullptr});

RegisterBench comb({"Comb", [] { return new Comb(); }, 2,
                    {{"InR", audio()}, {"f0", lfo(400.0f, 300.0f, 0.2f)}, {"Q", constant(0.9f)}},
                    [](od::Object *o) { o->getOption("Type")->set(3); }});

} // namespace
} // namespace qvzbench
