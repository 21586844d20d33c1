%{
#include "units/delay/Unison.h"
%}
class Unison : public od::Object {
public:
  Unison();
  virtual ~Unison();
};
