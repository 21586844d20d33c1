#include "BenchRegistry.h"

#include "units/dynamics/BitCrush.h"
#include "units/dynamics/SoftClip.h"

namespace qvzbench {
namespace {

RegisterBench bitCrush({"BitCrush", [] { return new od::BitCrush(); }, 1,
                        {{"BitDepth", lfo(8.0f, 4.0f, 0.2f)}, {"SR", lfo(4.0f, 3.0f, 0.1f)}}, nullptr});

RegisterBench softClip({"SoftClip", [] { return new od::SoftClip(); }, 1,
                        {{"Gain", lfo(2.0f, 1.0f, 0.2f)}},
                        [](od::Object *o) { o->getOption("Algo")->set(4); }});

} // namespace
} // namespace qvzbench
