%{
#include "units/delay/ReverseDelay.h"
%}
QVZ_REFUSED_WHILE_PLAYING(ReverseDelay::allocateTimeUpTo, "allocateTimeUpTo")
QVZ_REFUSED_WHILE_PLAYING(ReverseDelay::deallocate, "deallocate")
QVZ_REFUSED_WHILE_PLAYING(ReverseDelay::zero, "zero")
class ReverseDelay : public od::Object {
public:
  ReverseDelay(int);
  virtual ~ReverseDelay();
  float allocateTimeUpTo(float);
  void deallocate();
  void zero();
  float minimumDelayTime();
  float maximumDelayTime();
};
