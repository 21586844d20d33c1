// Prints docs/units.md, the port tables of every class, from the class descriptions.

#include "DescriptionText.h"

#include <cstdio>

int main() {
  std::fputs(qvzdescribe::markdownPage().c_str(), stdout);
  return 0;
}
