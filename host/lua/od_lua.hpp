// Lua functions of the host module: configuration, direct runs of objects, test helpers.
// Included into the generated wrapper, so it can use the SWIG runtime.
#pragma once

#include <od/BigHeap.h>
#include <od/CustomUnit.h>
#include <od/Denormals.h>
#include <od/Object.h>
#include <od/Random.h>
#include <od/config.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

static int qvz_od_configure(lua_State *L) {
  const lua_Number rate = luaL_checknumber(L, 1);
  const lua_Number frame = luaL_checknumber(L, 2);
  if (!(rate >= od::kMinSampleRate && rate <= od::kMaxSampleRate) || rate != std::floor(rate))
    return luaL_error(L, "od.configure: sample rate %f is outside %d..%d Hz", (double)rate,
                      od::kMinSampleRate, od::kMaxSampleRate);
  if (!(frame >= 1 && frame <= od::kMaxFrameLength) || frame != std::floor(frame))
    return luaL_error(L, "od.configure: frame length %f is outside 1..%d", (double)frame, od::kMaxFrameLength);
  od::configure((int)rate, (int)frame);
  return 0;
}

static int qvz_od_setHeapLimit(lua_State *L) {
  if (lua_isnoneornil(L, 1)) {
    od::BigHeap::setLimit(-1);
    return 0;
  }
  const lua_Number bytes = luaL_checknumber(L, 1);
  if (!(bytes >= 0) || bytes > 9.0e18) return luaL_error(L, "od.setHeapLimit: %f is not a byte count", (double)bytes);
  od::BigHeap::setLimit((long long)bytes);
  return 0;
}

static int qvz_od_heapInUse(lua_State *L) {
  lua_pushinteger(L, (lua_Integer)od::BigHeap::inUse());
  return 1;
}

static int qvz_od_seed(lua_State *L) {
  const lua_Number seed = luaL_checknumber(L, 1);
  if (!std::isfinite(seed)) return luaL_error(L, "od.seed: the seed must be a finite number");
  od::Random::seed((uint32_t)(uint64_t)(int64_t)std::fmod(seed, 4294967296.0));
  return 0;
}

// What one key of od.run's input table drives: one feed outlet followed by its inlets.
struct QvzRunFeed {
  std::vector<od::Inlet *> inlets;
  std::vector<od::Outlet *> previousSources; // what each inlet followed before the run
  od::Outlet *feed = nullptr;
  int arrayIndex = 0; // position of its sample array in the feed table, 0 for a constant
  float constant = 0.0f;
};

static od::Object *qvz_check_object(lua_State *L, int index, const char *who) {
  void *ptr = nullptr;
  if (!SWIG_IsOK(SWIG_ConvertPtr(L, index, &ptr, SWIGTYPE_p_od__Object, 0)) || !ptr) {
    luaL_error(L, "%s: argument %d must be an object, got %s", who, index, qvz_typename(L, index));
    return nullptr;
  }
  return static_cast<od::Object *>(ptr);
}

// The value at the top of the stack must feed an inlet: a number or an array of numbers.
static void qvz_run_check_feed(lua_State *L, const char *label) {
  if (lua_istable(L, -1)) {
    const lua_Integer count = (lua_Integer)lua_rawlen(L, -1);
    for (lua_Integer k = 1; k <= count; k++) {
      if (lua_rawgeti(L, -1, k) != LUA_TNUMBER)
        luaL_error(L, "od.run: element %d of input %s is not a number", (int)k, label);
      lua_pop(L, 1);
    }
  } else if (lua_type(L, -1) != LUA_TNUMBER) {
    luaL_error(L, "od.run: input %s needs a number or an array of numbers, got %s", label, luaL_typename(L, -1));
  }
}

// A feed for the value at the top of the stack; arrays are kept in the table at index 4.
static QvzRunFeed qvz_run_make_feed(lua_State *L, int &arrayCount) {
  QvzRunFeed feed;
  if (lua_istable(L, -1)) {
    lua_pushvalue(L, -1);
    lua_rawseti(L, 4, ++arrayCount);
    feed.arrayIndex = arrayCount;
  } else {
    feed.constant = (float)lua_tonumber(L, -1);
  }
  feed.feed = new od::Outlet("feed");
  return feed;
}

static long qvz_run_frame_count(lua_State *L) {
  luaL_checktype(L, 2, LUA_TTABLE);
  const lua_Number requested = luaL_checknumber(L, 3);
  if (!(requested >= 0) || requested > 1.0e9) luaL_error(L, "od.run: sample count %f is out of range", (double)requested);
  const long samples = (long)requested;
  const int frameLength = globalConfig.frameLength;
  return (samples + frameLength - 1) / frameLength;
}

// Connects the feeds, processes the frames, records the outlets and undoes the feeding.
// Outlets are recorded under their names, or under 1..n when `keyByIndex`; a missing
// outlet (null) records silence.
template <typename Process>
static int qvz_run_frames(lua_State *L, long frames, std::vector<QvzRunFeed> &feeds,
                          const std::vector<od::Outlet *> &outlets, bool keyByIndex, Process process) {
  const int frameLength = globalConfig.frameLength;
  const int outletCount = (int)outlets.size();
  luaL_checkstack(L, outletCount + 8, "od.run: too many outlets");
  for (QvzRunFeed &feed : feeds) {
    for (od::Inlet *inlet : feed.inlets) {
      feed.previousSources.push_back(inlet->source());
      inlet->connect(feed.feed);
    }
    if (!feed.arrayIndex) {
      float *buffer = feed.feed->buffer();
      for (int i = 0; i < od::kMaxFrameLength; i++) buffer[i] = feed.constant;
    }
  }

  lua_createtable(L, 0, outletCount);
  const int resultIndex = lua_gettop(L);
  std::vector<int> arrays(outletCount); // stack index of each outlet's result array
  for (int o = 0; o < outletCount; o++) {
    lua_createtable(L, (int)std::min<long>(frames * frameLength, 1 << 24), 0);
    lua_pushvalue(L, -1);
    if (keyByIndex) lua_rawseti(L, resultIndex, o + 1);
    else lua_setfield(L, resultIndex, outlets[o]->name().c_str());
    arrays[o] = lua_gettop(L);
  }

  for (long frame = 0; frame < frames; frame++) {
    for (QvzRunFeed &feed : feeds) {
      if (!feed.arrayIndex) continue;
      float *buffer = feed.feed->buffer();
      lua_rawgeti(L, 4, feed.arrayIndex);
      const lua_Integer count = (lua_Integer)lua_rawlen(L, -1);
      for (int i = 0; i < frameLength; i++) {
        const lua_Integer k = frame * frameLength + i + 1;
        float value = 0.0f;
        if (k <= count) {
          lua_rawgeti(L, -1, k);
          value = (float)lua_tonumber(L, -1);
          lua_pop(L, 1);
        }
        buffer[i] = value;
      }
      lua_pop(L, 1);
    }
    {
      od::DenormalGuard guard;
      process();
    }
    for (int o = 0; o < outletCount; o++) {
      const float *buffer = outlets[o] ? outlets[o]->buffer() : nullptr;
      for (int i = 0; i < frameLength; i++) {
        lua_pushnumber(L, buffer ? buffer[i] : 0.0f);
        lua_rawseti(L, arrays[o], frame * frameLength + i + 1);
      }
    }
  }

  // Undone in the reverse order of connecting: an inlet fed twice (two inputs of a unit
  // declaring the same inlet) goes back through the earlier feed to what it followed before,
  // and no feed is deleted while an inlet still names it.
  for (auto feed = feeds.rbegin(); feed != feeds.rend(); ++feed) {
    for (size_t k = feed->inlets.size(); k-- > 0;) {
      feed->inlets[k]->disconnect();
      if (feed->previousSources[k]) feed->inlets[k]->connect(feed->previousSources[k]);
    }
    delete feed->feed;
  }
  lua_settop(L, resultIndex);
  return 1;
}

// What a key of od.run's table names on the object. The name is looked up here so that no
// string of the caller is alive when it raises a Lua error (which skips C++ destructors).
enum class QvzRunKey { Inlet, Parameter, Option, Unknown };
static QvzRunKey qvz_run_key(od::Object *object, const char *name) {
  const std::string key(name);
  if (object->getInput(key)) return QvzRunKey::Inlet;
  if (object->getParameter(key)) return QvzRunKey::Parameter;
  if (object->getOption(key)) return QvzRunKey::Option;
  return QvzRunKey::Unknown;
}

// Processes frames on an object with its inlets fed from the table, and returns every
// outlet's samples by name. Everything is checked before anything is changed.
static int qvz_od_run_object(lua_State *L, od::Object *object) {
  const long frames = qvz_run_frame_count(L);

  // Pass 1: check every key and value.
  int inletCount = 0;
  lua_pushnil(L);
  while (lua_next(L, 2)) {
    if (lua_type(L, -2) != LUA_TSTRING) return luaL_error(L, "od.run: input keys must be names, got %s", luaL_typename(L, -2));
    const char *name = lua_tostring(L, -2);
    const QvzRunKey kind = qvz_run_key(object, name);
    if (kind == QvzRunKey::Inlet) {
      lua_pushfstring(L, "'%s'", name);
      lua_insert(L, -2);
      qvz_run_check_feed(L, lua_tostring(L, -2));
      lua_remove(L, -2);
      inletCount++;
    } else if (kind == QvzRunKey::Parameter) {
      if (lua_type(L, -1) != LUA_TNUMBER) return luaL_error(L, "od.run: parameter '%s' needs a number, got %s", name, luaL_typename(L, -1));
    } else if (kind == QvzRunKey::Option) {
      if (!lua_isinteger(L, -1)) {
        lua_Number v = lua_type(L, -1) == LUA_TNUMBER ? lua_tonumber(L, -1) : NAN;
        if (!(v == std::floor(v) && std::fabs(v) < 2147483648.0))
          return luaL_error(L, "od.run: option '%s' needs an integer, got %s", name, luaL_typename(L, -1));
      }
    } else {
      return luaL_error(L, "od.run: unknown inlet, parameter or option '%s'", name);
    }
    lua_pop(L, 1);
  }

  // Pass 2: the checks passed; apply parameters and options, make the feeds.
  std::vector<QvzRunFeed> feeds;
  feeds.reserve(inletCount);
  lua_settop(L, 3);
  lua_newtable(L); // index 4: the arrays that feed inlets
  int arrayCount = 0;
  lua_pushnil(L);
  while (lua_next(L, 2)) {
    const std::string key(lua_tostring(L, -2));
    if (od::Inlet *inlet = object->getInput(key)) {
      feeds.push_back(qvz_run_make_feed(L, arrayCount));
      feeds.back().inlets.push_back(inlet);
    } else if (od::Parameter *parameter = object->getParameter(key)) {
      parameter->hardSet((float)lua_tonumber(L, -1));
    } else if (od::Option *option = object->getOption(key)) {
      option->set((int)lua_tonumber(L, -1));
    }
    lua_pop(L, 1);
  }

  std::vector<od::Outlet *> outlets;
  for (int o = 0; o < object->outputCount(); o++) outlets.push_back(object->getOutput(o));
  return qvz_run_frames(L, frames, feeds, outlets, false, [object] {
    object->updateParameters();
    object->process();
  });
}

// Processes frames on a unit: key k of the table feeds every inlet of input k - 1, and
// the result maps k to the samples of output k - 1.
static int qvz_od_run_unit(lua_State *L, od::Unit *unit) {
  const long frames = qvz_run_frame_count(L);
  const int inputCount = unit->getInputCount();

  lua_pushnil(L);
  while (lua_next(L, 2)) {
    if (!lua_isinteger(L, -2) || lua_tointeger(L, -2) < 1 || lua_tointeger(L, -2) > inputCount) {
      lua_pushvalue(L, -2);
      const char *key = lua_tostring(L, -1); // numbers and strings; other keys have no text
      return luaL_error(L, "od.run: unit inputs are keyed 1..%d, got %s", inputCount,
                        key ? key : luaL_typename(L, -3));
    }
    lua_pushfstring(L, "%d", (int)lua_tointeger(L, -2));
    lua_insert(L, -2);
    qvz_run_check_feed(L, lua_tostring(L, -2));
    lua_pop(L, 2);
  }

  std::vector<QvzRunFeed> feeds;
  lua_settop(L, 3);
  lua_newtable(L); // index 4: the arrays that feed inputs
  int arrayCount = 0;
  lua_pushnil(L);
  while (lua_next(L, 2)) {
    const int input = (int)lua_tointeger(L, -2) - 1;
    feeds.push_back(qvz_run_make_feed(L, arrayCount));
    feeds.back().inlets = unit->getInputs(input);
    lua_pop(L, 1);
  }

  std::vector<od::Outlet *> outlets;
  for (int o = 0; o < unit->getOutputCount(); o++) outlets.push_back(unit->getOutput(o));
  return qvz_run_frames(L, frames, feeds, outlets, true, [unit] { unit->process(); });
}

static int qvz_od_run_unguarded(lua_State *L) {
  lua_settop(L, 3);
  void *ptr = nullptr;
  if (SWIG_IsOK(SWIG_ConvertPtr(L, 1, &ptr, SWIGTYPE_p_od__Unit, 0)) && ptr)
    return qvz_od_run_unit(L, static_cast<od::Unit *>(ptr));
  if (SWIG_IsOK(SWIG_ConvertPtr(L, 1, &ptr, SWIGTYPE_p_od__Object, 0)) && ptr)
    return qvz_od_run_object(L, static_cast<od::Object *>(ptr));
  return luaL_error(L, "od.run: argument 1 must be an object or a unit, got %s", qvz_typename(L, 1));
}

static int qvz_od_run(lua_State *L) { return qvz_guarded<qvz_od_run_unguarded>(L); }

// obj:serialize() -> {name = value} of the parameters saved with the object.
static int qvz_od_serialize(lua_State *L) {
  od::Object *object = qvz_check_object(L, 1, "serialize");
  lua_newtable(L);
  for (int i = 0; i < object->parameterCount(); i++) {
    od::Parameter *parameter = object->getParameter(i);
    if (!parameter->isSerializationEnabled()) continue;
    lua_pushnumber(L, parameter->target());
    lua_setfield(L, -2, parameter->name().c_str());
  }
  return 1;
}

// obj:deserialize(t) restores the saved parameters found in t.
static int qvz_od_deserialize(lua_State *L) {
  od::Object *object = qvz_check_object(L, 1, "deserialize");
  luaL_checktype(L, 2, LUA_TTABLE);
  for (int i = 0; i < object->parameterCount(); i++) {
    od::Parameter *parameter = object->getParameter(i);
    if (!parameter->isSerializationEnabled()) continue;
    if (lua_getfield(L, 2, parameter->name().c_str()) == LUA_TNUMBER) parameter->hardSet((float)lua_tonumber(L, -1));
    lua_pop(L, 1);
  }
  return 0;
}

// Adds serialize/deserialize to the methods every object inherits from od::Object.
static void qvz_od_install_object_methods(lua_State *L) {
  SWIG_Lua_get_class_registry(L);
  lua_getfield(L, -1, "Object");
  if (lua_istable(L, -1)) {
    lua_getfield(L, -1, ".fn");
    if (lua_istable(L, -1)) {
      lua_pushcfunction(L, qvz_od_serialize);
      lua_setfield(L, -2, "serialize");
      lua_pushcfunction(L, qvz_od_deserialize);
      lua_setfield(L, -2, "deserialize");
    }
    lua_pop(L, 1);
  }
  lua_pop(L, 2);
}
