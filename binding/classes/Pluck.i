%{
#include "units/delay/Pluck.h"
%}
QVZ_REFUSED_WHILE_PLAYING(Pluck::allocateTimeUpTo, "allocateTimeUpTo")
QVZ_REFUSED_WHILE_PLAYING(Pluck::deallocate, "deallocate")
QVZ_REFUSED_WHILE_PLAYING(Pluck::zero, "zero")
class Pluck : public od::Object {
public:
  Pluck(float);
  virtual ~Pluck();
  float allocateTimeUpTo(float);
  void deallocate();
  void zero();
};
