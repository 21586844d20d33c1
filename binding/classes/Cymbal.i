%{
#include "units/drums/Cymbal.h"
%}
class Cymbal : public od::Object {
public:
  Cymbal();
  virtual ~Cymbal();
};
