%{
#include "units/drums/Cowbell.h"
%}
class Cowbell : public od::Object {
public:
  Cowbell();
  virtual ~Cowbell();
};
