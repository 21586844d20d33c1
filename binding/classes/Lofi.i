%{
#include "units/dynamics/Lofi.h"
%}
class Lofi : public od::Object {
public:
  Lofi();
  virtual ~Lofi();
};
