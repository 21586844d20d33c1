#include "Units.h"
#include "Failure.h"

#include "../describe/DescriptionText.h"

#include <od/Description.h>

#include <cstdio>
#include <initializer_list>

namespace qvz {

void listUnits(const UnitsSettings &settings) {
  std::string text;
  int listed = 0;
  for (od::ClassList list : {od::libraryDescriptions(), od::hostDescriptions()}) {
    for (const od::ClassDescription *d : list) {
      if (!settings.only.empty() && settings.only != d->name) continue;
      if (settings.json)
        text += std::string(listed ? ",\n" : "") + qvzdescribe::json(*d, settings.sampleRate, settings.frameLength);
      else
        text += std::string(listed ? "\n" : "") + qvzdescribe::listing(*d, settings.sampleRate, settings.frameLength);
      listed++;
    }
  }
  if (!listed) throw Failure("no class named '" + settings.only + "'; 'qvz units' lists them all");
  if (settings.json) text = "[\n" + text + "\n]\n";
  else if (settings.sampleRate != 48000 || settings.frameLength != 128)
    text = "(limits that follow the rate at " + std::to_string(settings.sampleRate) + " Hz, frames of " +
           std::to_string(settings.frameLength) + " samples)\n\n" + text;
  std::fputs(text.c_str(), stdout);
}

} // namespace qvz
