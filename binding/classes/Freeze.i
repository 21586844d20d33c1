%{
#include "units/delay/Freeze.h"
%}
class Freeze : public od::Object {
public:
  Freeze();
  virtual ~Freeze();
};
