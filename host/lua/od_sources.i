// Host source objects, so that patches can be heard without an input file.
%{
#include <od/Clock.h>
#include <od/Noise.h>
#include <od/Player.h>
#include <od/Sine.h>
%}

namespace od {

class Sine : public Object {
public:
  Sine();
  virtual ~Sine();
};

class Noise : public Object {
public:
  Noise();
  virtual ~Noise();
};

class Clock : public Object {
public:
  Clock();
  virtual ~Clock();
};

class Player : public Object {
public:
  Player();
  virtual ~Player();
  void setSample(Sample *sample);
};

} // namespace od
