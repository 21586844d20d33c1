#include "BenchRegistry.h"

#include "units/dynamics/BandSpreader.h"
#include "units/dynamics/BitCrush.h"
#include "units/dynamics/CompressorObject.h"
#include "units/dynamics/Exciter.h"
#include "units/dynamics/FuzzBox.h"
#include "units/dynamics/Grotesque.h"
#include "units/dynamics/Lofi.h"
#include "units/dynamics/Shaper.h"
#include "units/dynamics/SoftClip.h"

namespace qvzbench {
namespace {

RegisterBench bitCrush({"BitCrush", [] { return new od::BitCrush(); }, 1,
                        {{"BitDepth", lfo(8.0f, 4.0f, 0.2f)}, {"SR", lfo(4.0f, 3.0f, 0.1f)}}, nullptr});

RegisterBench softClip({"SoftClip", [] { return new od::SoftClip(); }, 1,
                        {{"Gain", lfo(2.0f, 1.0f, 0.2f)}},
                        [](od::Object *o) { o->getOption("Algo")->set(4); }});

RegisterBench compressor({"CompressorObject", [] { return new CompressorObject(); }, 1,
                          {{"SCIn", lfo(0.5f, 0.4f, 2.0f)}, {"Threshold", constant(0.2f)}, {"Ratio", constant(4.0f)}},
                          nullptr});

RegisterBench exciter({"Exciter", [] { return new Exciter(); }, 1, {{"AxMix", constant(0.5f)}},
                       [](od::Object *o) { o->getOption("Mode")->set(9); }});

RegisterBench fuzzBox({"FuzzBox", [] { return new FuzzBox(); }, 1,
                       {{"Drive", lfo(0.6f, 0.3f, 0.3f)}, {"Grit", constant(0.2f)}, {"Tone", lfo(0.5f, 0.3f, 0.2f)}},
                       [](od::Object *o) { o->getParameter("Shape")->hardSet(3.0f); }});

RegisterBench lofi({"Lofi", [] { return new Lofi(); }, 1,
                    {{"Depth", constant(0.8f)}, {"Speed", constant(0.6f)}, {"Blend", constant(0.7f)}},
                    [](od::Object *o) { o->getOption("Waveform")->set(6); }});

RegisterBench grotesque({"Grotesque", [] { return new Grotesque(); }, 1,
                         {{"High", lfo(0.6f, 0.3f, 0.2f)}, {"Low", constant(0.5f)}, {"Gain", constant(0.5f)},
                          {"Input", constant(0.5f)}},
                         nullptr});

RegisterBench shaper({"Shaper", [] { return new Shaper(); }, 1, {{"Atk", constant(0.9f)}, {"Sus", constant(0.2f)}},
                      nullptr});

RegisterBench bandSpreader({"BandSpreader", [] { return new BandSpreader(); }, 2,
                            {{"InR", audio()}, {"Pan1", constant(-0.5f)}, {"Pan6", constant(0.5f)},
                             {"Level1", constant(1.0f)}, {"Level2", constant(1.0f)}, {"Level3", constant(1.0f)},
                             {"Level4", constant(1.0f)}, {"Level5", constant(1.0f)}, {"Level6", constant(1.0f)}},
                            nullptr});

} // namespace
} // namespace qvzbench
