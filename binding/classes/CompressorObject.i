%{
#include "units/dynamics/CompressorObject.h"
%}
class CompressorObject : public od::Object {
public:
  CompressorObject();
  virtual ~CompressorObject();
};
