// od.Sample.fromArray and od.Sample.load. Included into the generated wrapper of the host
// module, so it can use the SWIG runtime.
#pragma once

#include <od/Sample.h>

#include <cmath>
#include <string>

// Hands a new sample to Lua, which then holds it like any object it made.
static int qvz_od_push_sample(lua_State *L, od::Sample *sample) {
  SWIG_NewPointerObj(L, sample, SWIGTYPE_p_od__Sample, 1);
  sample->attachLua();
  return 1;
}

// od.Sample.fromArray(channels, rate, data): data is the interleaved values, 1-based.
static int qvz_od_sample_from_array(lua_State *L) {
  const lua_Number channels = luaL_checknumber(L, 1);
  const lua_Number rate = luaL_checknumber(L, 2);
  luaL_checktype(L, 3, LUA_TTABLE);
  if (!(channels >= 1 && channels <= 1024) || channels != std::floor(channels))
    return luaL_error(L, "od.Sample.fromArray: channel count %f is not a whole number from 1 to 1024", (double)channels);
  if (!(rate > 0 && rate <= 1.0e7))
    return luaL_error(L, "od.Sample.fromArray: sample rate %f is outside (0, 10000000] Hz", (double)rate);
  const lua_Integer count = (lua_Integer)lua_rawlen(L, 3);
  if (count > od::Sample::kMaxValues)
    return luaL_error(L, "od.Sample.fromArray: %d values are too many", (int)count);
  const int channelCount = (int)channels;
  if (count % channelCount != 0)
    return luaL_error(L, "od.Sample.fromArray: %d values do not make whole frames of %d channels", (int)count,
                      channelCount);
  for (lua_Integer k = 1; k <= count; k++) {
    if (lua_rawgeti(L, 3, k) != LUA_TNUMBER)
      return luaL_error(L, "od.Sample.fromArray: element %d is not a number", (int)k);
    lua_pop(L, 1);
  }
  od::Sample *sample = new od::Sample(channelCount, (int)(count / channelCount), (float)rate);
  float *data = sample->data();
  for (lua_Integer k = 1; k <= count; k++) {
    lua_rawgeti(L, 3, k);
    data[k - 1] = (float)lua_tonumber(L, -1);
    lua_pop(L, 1);
  }
  return qvz_od_push_sample(L, sample);
}

// od.Sample.load(path): a sample from an audio file.
static int qvz_od_sample_load(lua_State *L) {
  const char *path = luaL_checkstring(L, 1);
  od::Sample *sample = nullptr;
  {
    // The message is copied into Lua before the string goes: raising an error unwinds
    // without running C++ destructors.
    std::string error;
    sample = od::Sample::load(path, error);
    if (!sample) lua_pushfstring(L, "od.Sample.load: %s", error.c_str());
  }
  if (!sample) {
    luaL_where(L, 1);
    lua_insert(L, -2);
    lua_concat(L, 2);
    return lua_error(L);
  }
  return qvz_od_push_sample(L, sample);
}

// Puts the two functions into the class table od.Sample (the module table is on top).
static void qvz_od_install_sample_functions(lua_State *L) {
  lua_getfield(L, -1, "Sample");
  if (lua_istable(L, -1)) {
    lua_pushstring(L, "fromArray");
    lua_pushcfunction(L, qvz_guarded<qvz_od_sample_from_array>);
    lua_rawset(L, -3);
    lua_pushstring(L, "load");
    lua_pushcfunction(L, qvz_guarded<qvz_od_sample_load>);
    lua_rawset(L, -3);
  }
  lua_pop(L, 1);
}
