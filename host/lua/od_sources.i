// Host objects: sources, so that patches can be heard without an input file, and the
// building blocks of a patch (mixing, envelopes, modulation, filtering, sequencing and
// the frame delay a feedback loop passes through).
%{
#include <od/Clock.h>
#include <od/Envelope.h>
#include <od/Filter.h>
#include <od/Follower.h>
#include <od/FrameDelay.h>
#include <od/Gain.h>
#include <od/LFO.h>
#include <od/Mixer.h>
#include <od/Midi.h>
#include <od/Noise.h>
#include <od/Oscillator.h>
#include <od/Player.h>
#include <od/Sequencer.h>
#include <od/Sine.h>

// Most steps a sequencer takes from Lua.
static const int kQvzMostSteps = 65536;
%}

// A mixer's channel count must be 1..64.
%typemap(check) int mixerChannels %{
  if ($1 < od::Mixer::kMinChannels || $1 > od::Mixer::kMaxChannels) {
    SWIG_Lua_pushferrstring(L, "od.Mixer: the channel count must be %d..%d, got %d", od::Mixer::kMinChannels,
                            od::Mixer::kMaxChannels, $1);
    goto fail;
  }
%}

// A sequencer's steps: a Lua array of numbers (Hz) and false for rests.
%typemap(in, checkfn="lua_istable") const std::vector<float> &sequencerSteps (std::vector<float> temp) %{ {
  const lua_Integer count = (lua_Integer)lua_rawlen(L, $input);
  if (count < 1 || count > kQvzMostSteps) {
    SWIG_Lua_pushferrstring(L, "od.Sequencer: needs 1..%d steps, got %d", kQvzMostSteps, (int)count);
    goto fail;
  }
  for (lua_Integer k = 1; k <= count; k++) {
    const int type = lua_rawgeti(L, $input, k);
    if (type == LUA_TNUMBER) {
      temp.push_back((float)lua_tonumber(L, -1));
    } else if (type == LUA_TBOOLEAN && !lua_toboolean(L, -1)) {
      temp.push_back(NAN);
    } else {
      SWIG_Lua_pushferrstring(L, "od.Sequencer: step %d is %s; steps are numbers (Hz) or false for a rest", (int)k,
                              lua_typename(L, type));
      lua_remove(L, -2);
      goto fail;
    }
    lua_pop(L, 1);
  }
  $1 = &temp;
} %}

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

class Mixer : public Object {
public:
  Mixer(int mixerChannels);
  virtual ~Mixer();
  int channels() const;
};

class Gain : public Object {
public:
  Gain();
  virtual ~Gain();
};

class Oscillator : public Object {
public:
  Oscillator();
  virtual ~Oscillator();
};

class LFO : public Object {
public:
  LFO();
  virtual ~LFO();
};

class Envelope : public Object {
public:
  Envelope();
  virtual ~Envelope();
};

class Follower : public Object {
public:
  Follower();
  virtual ~Follower();
};

class Filter : public Object {
public:
  Filter();
  virtual ~Filter();
};

class Sequencer : public Object {
public:
  Sequencer(const std::vector<float> &sequencerSteps);
  virtual ~Sequencer();
  int stepCount() const;
};

class FrameDelay : public Object {
public:
  FrameDelay();
  virtual ~FrameDelay();
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
