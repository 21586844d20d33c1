// The dynamics and colour family, driven as a patch drives them (default curves: "Mode" 4,
// "Shape" 1, as the reference kernels assume).

#include "BenchRegistry.h"

#include "units/dynamics/BitCrush.h"
#include "units/dynamics/SoftClip.h"
#include "units/dynamics/BandSpreader.h"
#include "units/dynamics/CompressorObject.h"
#include "units/dynamics/Exciter.h"
#include "units/dynamics/FuzzBox.h"
#include "units/dynamics/Grotesque.h"
#include "units/dynamics/Lofi.h"
#include "units/dynamics/Shaper.h"

namespace qvzbench {
namespace {

RegisterBench bitCrush({"BitCrush", [] { return new od::BitCrush(); }, 1,
                        {{"BitDepth", lfo(8.0f, 4.0f, 0.2f)}, {"SR", lfo(4.0f, 3.0f, 0.1f)}}, nullptr});

RegisterBench softClip({"SoftClip", [] { return new od::SoftClip(); }, 1,
                        {{"Gain", lfo(2.0f, 1.0f, 0.2f)}},
                        [](od::Object *o) { o->getOption("Algo")->set(4); }});

// The side chain carries the programme itself, as when a patch compresses a signal by its own level.
RegisterBench compressor({"CompressorObject", [] { return new CompressorObject(); }, 1,
                          {{"SCIn", audio()}, {"Threshold", lfo(0.1f, 0.05f, 0.2f)}, {"Ratio", lfo(4.0f, 2.0f, 0.1f)}},
                          nullptr});

RegisterBench exciter({"Exciter", [] { return new Exciter(); }, 1, {{"AxMix", lfo(0.5f, 0.3f, 0.2f)}}, nullptr});

RegisterBench fuzzBox({"FuzzBox", [] { return new FuzzBox(); }, 1,
                       {{"Drive", lfo(0.5f, 0.3f, 0.2f)}, {"Grit", lfo(0.5f, 0.4f, 0.1f)}, {"Tone", lfo(0.5f, 0.3f, 0.15f)}},
                       nullptr});

RegisterBench lofi({"Lofi", [] { return new Lofi(); }, 1,
                    {{"Depth", lfo(0.5f, 0.3f, 0.1f)}, {"Speed", lfo(0.5f, 0.3f, 0.05f)}, {"Blend", constant(0.7f)}},
                    nullptr});

RegisterBench grotesque({"Grotesque", [] { return new Grotesque(); }, 1,
                         {{"High", lfo(0.5f, 0.3f, 0.2f)}, {"Low", lfo(0.5f, 0.3f, 0.13f)}, {"Gain", lfo(0.6f, 0.2f, 0.1f)},
                          {"Input", constant(0.8f)}},
                         nullptr});

RegisterBench shaper({"Shaper", [] { return new Shaper(); }, 1,
                      {{"Atk", lfo(0.5f, 0.4f, 0.2f)}, {"Sus", lfo(0.5f, 0.4f, 0.13f)}}, nullptr});

RegisterBench bandSpreader({"BandSpreader", [] { return new BandSpreader(); }, 2,
                            {{"InL", audio()}, {"InR", audio()}, {"Pan1", lfo(0.0f, 0.8f, 0.1f)}, {"Pan2", lfo(0.0f, 0.8f, 0.13f)},
                             {"Pan3", lfo(0.0f, 0.8f, 0.17f)}, {"Pan4", lfo(0.0f, 0.8f, 0.19f)}, {"Level1", constant(1.0f)},
                             {"Level2", constant(0.8f)}, {"Level3", constant(0.8f)}, {"Level4", constant(1.0f)}},
                            nullptr});

} // namespace
} // namespace qvzbench
