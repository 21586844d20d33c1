#pragma once

#include "AudioFile.h"

#include <string>

namespace qvz {

// Draws every channel as a waveform strip over a spectrogram (log frequency, 20 Hz to
// Nyquist, -100..0 dB) into an RGB PNG; written under a temporary name, then renamed.
// `names` labels the channels, `title` heads the picture.
void writePlot(const std::string &path, const Audio &audio, const std::vector<std::string> &names,
               const std::string &title);

} // namespace qvz
