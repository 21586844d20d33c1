%{
#include "units/mixing/WetDryUnit.h"
%}

// The fader goes to Lua as a plain od::Object without a hold of its own; its Lua value
// keeps the unit's Lua value alive, so the fader cannot outlive the unit that owns it.
%typemap(ret) od::Object *WetDryUnit::getFader %{
  if (lua_type(L, 1) == LUA_TUSERDATA && lua_type(L, -1) == LUA_TUSERDATA) {
    lua_pushvalue(L, 1);
    lua_setiuservalue(L, -2, 1);
  }
%}

// A unit made from Lua starts its faders at their described default, like any new object.
%feature("ref") WetDryUnit %{
  $this->attachLua();
  for (int i = 0; WetDryFade *fader = $this->getFader(i); i++) od::applyDescribedDefaults(*fader, "WetDryFade");
%}

class WetDryUnit : public od::CustomUnit {
public:
  WetDryUnit(const std::string &name, int channelCount);
  virtual ~WetDryUnit();
  od::Object *getFader(int index);
};
