%{
#include "units/drums/Tom.h"
%}
class Tom : public od::Object {
public:
  Tom();
  virtual ~Tom();
};
