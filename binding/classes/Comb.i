%{
#include "units/delay/Comb.h"
%}
class Comb : public od::Object {
public:
  Comb();
  virtual ~Comb();
};
