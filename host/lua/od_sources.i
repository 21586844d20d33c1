// Host source objects, so that patches can be heard without an input file.
%{
#include <od/Clock.h>
#include <od/Midi.h>
#include <od/Noise.h>
#include <od/Player.h>
#include <od/Sine.h>
%}

QVZ_REFUSED_WHILE_PLAYING(od::Player::setSample, "setSample")

// A controller number outside 0..127 is a Lua error.
%exception od::MidiCC::MidiCC {
  if (arg1 < 0 || arg1 > 127) {
    lua_pushfstring(L, "od.MidiCC: controller number %d is outside 0..127", arg1);
    SWIG_fail;
  }
  $action
}

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

// MIDI input: notes and controllers of whatever MIDI the host feeds (a live port, a file).
class Midi : public Object {
public:
  Midi();
  virtual ~Midi();
};

class MidiCC : public Object {
public:
  MidiCC(int number);
  virtual ~MidiCC();
  int number() const;
};

} // namespace od
