%{
#include "units/delay/Pluck.h"
%}
class Pluck : public od::Object {
public:
  Pluck(float);
  virtual ~Pluck();
  float allocateTimeUpTo(float);
  void deallocate();
  void zero();
};
