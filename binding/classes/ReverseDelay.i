%{
#include "units/delay/ReverseDelay.h"
%}
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
