%{
#include "units/drums/HiHat.h"
%}
class HiHat : public od::Object {
public:
  HiHat();
  virtual ~HiHat();
};
