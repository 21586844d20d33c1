%{
#include "morpho/MorphoHead.h"
%}
namespace morpho {
class MorphoHead : public od::Head {
public:
  MorphoHead(int channelCount);
  virtual ~MorphoHead();
};
}
