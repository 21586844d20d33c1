// Tap delay, stereo tap mixer, reverse delay, plucked strings and comb, with their lines in
// use (the reverse delay's segments of 0.4 s, as its reference kernel assumes).

#include "BenchRegistry.h"

#include "units/delay/Comb.h"
#include "units/delay/Pluck.h"
#include "units/delay/ReverseDelay.h"
#include "units/delay/TapDelay.h"

#include <cmath>

namespace qvzbench {
namespace {

// Four heads pitched around unity and a little apart, the spacing swept slowly.
RegisterBench tapDelay({"TapDelay", [] { return new TapDelay(); }, 1,
                        {{"Time", lfo(0.25f, 0.1f, 0.05f)}, {"Feedback", constant(0.4f)}, {"Reverse", constant(0.0f)},
                         {"Blend", constant(0.5f)}, {"Pitch1", lfo(1.0f, 0.02f, 0.1f)}, {"Pitch2", constant(2.0f)},
                         {"Pitch3", constant(0.5f)}, {"Pitch4", lfo(1.5f, 0.05f, 0.07f)}, {"Level1", constant(0.8f)},
                         {"Level2", constant(0.6f)}, {"Level3", constant(0.6f)}, {"Level4", constant(0.5f)}},
                        nullptr});

// The four taps and the dry signal spread across the stereo field, pans drifting.
RegisterBench tapMixer({"TapDelayStereoMixer", [] { return new TapDelayStereoMixer(); }, 2,
                        {{"DryL", audio()}, {"DryR", audio()}, {"Tap1L", audio()}, {"Tap1R", audio()},
                         {"Tap2L", audio()}, {"Tap2R", audio()}, {"Tap3L", audio()}, {"Tap3R", audio()},
                         {"Tap4L", audio()}, {"Tap4R", audio()}, {"Level1", constant(0.8f)}, {"Level2", constant(0.7f)},
                         {"Level3", constant(0.6f)}, {"Level4", constant(0.5f)}, {"Pan1", lfo(0.0f, 0.9f, 0.1f)},
                         {"Pan2", lfo(0.0f, 0.9f, 0.13f)}, {"Pan3", lfo(0.0f, 0.9f, 0.17f)}, {"Pan4", lfo(0.0f, 0.9f, 0.19f)},
                         {"Blend", constant(0.6f)}},
                        nullptr});

RegisterBench reverseDelay({"ReverseDelay", [] { return new ReverseDelay(2); }, 2,
                            {{"Left In", audio()}, {"Right In", audio()}, {"Feedback", constant(0.3f)}},
                            [](od::Object *o) {
                              auto *unit = static_cast<ReverseDelay *>(o);
                              unit->allocateTimeUpTo(1.0f);
                              unit->getParameter("Delay")->hardSet(0.4f);
                            }});

// Four plucks a second, each a short burst, each voice retuned to a new pitch.
RegisterBench pluck({"Pluck", [] { return new Pluck(0.05f); }, 1,
                     {{"In", [](float *b, int n, double t, float rate) {
                         audio()(b, n, t, rate);
                         for (int i = 0; i < n; i++)
                           if (std::fmod((t + i / (double)rate) * 4.0, 1.0) > 0.02) b[i] = 0.0f;
                       }},
                      {"Trigger", pulses(4.0f)}, {"f0", lfo(220.0f, 110.0f, 0.37f)}, {"Damp", constant(5000.0f)},
                      {"Decay", constant(0.8f)}},
                     nullptr});

RegisterBench comb({"Comb", [] { return new Comb(); }, 2,
                    {{"In", audio()}, {"InR", audio()}, {"f0", lfo(220.0f, 100.0f, 0.2f)}, {"Q", lfo(0.7f, 0.2f, 0.1f)}},
                    nullptr});

} // namespace
} // namespace qvzbench
