#pragma once

#include <od/config.h>

namespace dsp {

// How much of a frame a unit processes: the frame length rounded down to a multiple of 4 (the
// vector width). A frame of fewer than 4 samples has none, and process() opens with
//
//   const int n = dsp::usableFrameLength();
//   if (n == 0) return;
//
// leaving its outputs and its state as they were. The sample rate is the one the unit was
// built at (od::Object::sampleRate()): rate-derived coefficients are computed in the
// constructor, and a rate read inside process() is that same rate.
inline int usableFrameLength() { return globalConfig.frameLength & ~3; }

} // namespace dsp
