%{
#include "units/delay/TapDelay.h"
%}
class TapDelayStereoMixer : public od::Object {
public:
  TapDelayStereoMixer();
  virtual ~TapDelayStereoMixer();
};
