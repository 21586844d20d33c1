// The drum voices, struck as a pattern strikes them, with their tuning drifting.

#include "BenchRegistry.h"

#include "units/drums/Cowbell.h"
#include "units/drums/Cymbal.h"
#include "units/drums/HiHat.h"
#include "units/drums/Kick.h"
#include "units/drums/Snare.h"
#include "units/drums/Tom.h"

namespace qvzbench {
namespace {

RegisterBench kick({"Kick", [] { return new Kick(); }, 1,
                    {{"Trig", pulses(2.0f)}, {"Tune", lfo(50.0f, 10.0f, 0.1f)}, {"Decay", constant(0.4f)},
                     {"Punch", constant(0.6f)}, {"Click", constant(0.4f)}, {"Drive", constant(0.3f)}},
                    nullptr});

RegisterBench snare({"Snare", [] { return new Snare(); }, 1,
                     {{"Trig", pulses(2.0f)}, {"Tune", lfo(180.0f, 20.0f, 0.1f)}, {"Decay", constant(0.2f)},
                      {"Snap", constant(0.6f)}, {"Tone", lfo(0.5f, 0.3f, 0.13f)}},
                     nullptr});

RegisterBench hiHat({"HiHat", [] { return new HiHat(); }, 1,
                     {{"TrigC", pulses(8.0f)}, {"TrigO", pulses(1.0f)}, {"Tune", lfo(400.0f, 50.0f, 0.1f)},
                      {"DecayC", constant(0.05f)}, {"DecayO", constant(0.4f)}, {"Tone", lfo(0.5f, 0.3f, 0.13f)}},
                     nullptr});

RegisterBench tom({"Tom", [] { return new Tom(); }, 1,
                   {{"Trig", pulses(3.0f)}, {"Tune", lfo(120.0f, 30.0f, 0.1f)}, {"Decay", constant(0.3f)},
                    {"Bend", constant(0.5f)}},
                   nullptr});

RegisterBench cowbell({"Cowbell", [] { return new Cowbell(); }, 1,
                       {{"Trig", pulses(4.0f)}, {"Tune", lfo(560.0f, 40.0f, 0.1f)}, {"Decay", constant(0.3f)},
                        {"Clank", constant(0.5f)}},
                       nullptr});

RegisterBench cymbal({"Cymbal", [] { return new Cymbal(); }, 1,
                      {{"Trig", pulses(1.0f)}, {"Tune", lfo(400.0f, 50.0f, 0.1f)}, {"Decay", constant(1.5f)},
                       {"Tone", lfo(0.5f, 0.3f, 0.13f)}, {"Sizzle", constant(0.5f)}},
                      nullptr});

} // namespace
} // namespace qvzbench
