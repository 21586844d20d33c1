%{
#include "units/delay/TapDelay.h"
%}
class TapDelay : public od::Object {
public:
  TapDelay();
  virtual ~TapDelay();
};
