%{
#include "units/delay/Leslie.h"
%}
class Leslie : public od::Object {
public:
  Leslie();
  virtual ~Leslie();
};
