#pragma once

#include "AudioFile.h"

#include <string>

namespace qvz {

// Fails when the font the plot's labels are drawn with cannot be loaded.
void checkPlotFont();

// Draws every channel as a waveform strip over a spectrogram (log frequency, 20 Hz to
// Nyquist, -100..0 dB) into an RGB PNG, with labelled axes, a dB colour bar, the channel names
// and a title (the file name, rate and length); written as an OutputFile.
// `names` labels the channels, `title` heads the picture.
void writePlot(const std::string &path, const Audio &audio, const std::vector<std::string> &names,
               const std::string &title);

} // namespace qvz
