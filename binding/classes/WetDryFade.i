%{
#include "units/mixing/WetDryFade.h"
%}
class WetDryFade : public od::Object {
public:
  WetDryFade();
  virtual ~WetDryFade();
};
