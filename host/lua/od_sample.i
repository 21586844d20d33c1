// Samples and the heads that play them.
%{
#include <od/Head.h>
#include <od/Sample.h>
#include "od_sample.hpp"
%}

QVZ_REFUSED_WHILE_PLAYING(od::Head::setSample, "setSample")

namespace od {

// Made from Lua with od.Sample.fromArray and od.Sample.load (below).
%nodefaultctor Sample;
class Sample : public ReferenceCounted {
public:
  virtual ~Sample();
  int channels() const;
  int frames() const;
  float rate() const;
};

class Head : public Object {
public:
  virtual void setSample(Sample *sample);
  int playPosition() const;
protected:
  Head();
  virtual ~Head();
};

} // namespace od

%init %{
  qvz_od_install_sample_functions(L);
%}
