%{
#include "units/delay/Flanger.h"
%}
class Flanger : public od::Object {
public:
  Flanger();
  virtual ~Flanger();
};
