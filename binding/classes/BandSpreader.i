%{
#include "units/dynamics/BandSpreader.h"
%}
class BandSpreader : public od::Object {
public:
  BandSpreader();
  virtual ~BandSpreader();
};
