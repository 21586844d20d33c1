%{
#include "units/drums/Kick.h"
%}
class Kick : public od::Object {
public:
  Kick();
  virtual ~Kick();
};
