%{
#include "units/dynamics/Shaper.h"
%}
class Shaper : public od::Object {
public:
  Shaper();
  virtual ~Shaper();
};
