%{
#include "units/dynamics/Exciter.h"
%}
class Exciter : public od::Object {
public:
  Exciter();
  virtual ~Exciter();
};
