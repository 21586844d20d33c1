%{
#include "units/dynamics/FuzzBox.h"
%}
class FuzzBox : public od::Object {
public:
  FuzzBox();
  virtual ~FuzzBox();
};
