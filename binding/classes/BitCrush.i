%{
#include "units/dynamics/BitCrush.h"
%}
namespace od {
class BitCrush : public od::Object {
public:
  BitCrush();
  virtual ~BitCrush();
};
}
