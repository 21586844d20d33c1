%{
#include "units/dynamics/SoftClip.h"
%}
namespace od {
class SoftClip : public od::Object {
public:
  SoftClip();
  virtual ~SoftClip();
};
}
