#pragma once

#include <string>

namespace qvz {

struct DrawSettings {
  std::string className;  // a widget class of the library, e.g. "CatPhoto"
  std::string outputPath; // PNG
  int width = 128;        // the widget's rectangle and the frame buffer, in pixels
  int height = 64;
  bool monochrome = false;
  int scale = 4;          // each pixel as a scale x scale block in the PNG
};

// Makes the widget at (0, 0) with the given size, draws it once on a frame buffer of that
// size and saves the buffer as a PNG, printing a summary line. Throws Failure on any error.
void drawWidget(const DrawSettings &settings);

} // namespace qvz
