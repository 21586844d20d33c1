%{
#include "units/drums/Snare.h"
%}
class Snare : public od::Object {
public:
  Snare();
  virtual ~Snare();
};
