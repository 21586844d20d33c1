%{
#include "units/dynamics/Grotesque.h"
%}
class Grotesque : public od::Object {
public:
  Grotesque();
  virtual ~Grotesque();
};
