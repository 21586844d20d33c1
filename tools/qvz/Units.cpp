#include "Units.h"
#include "Failure.h"
#include "LuaPatch.h"

#include <lua.hpp>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <vector>

namespace qvz {

namespace {

std::string number(float value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

std::string describeObject(const std::string &title, od::Object *object) {
  std::string text = title + "\n";
  std::string line;
  for (int i = 0; i < object->inputCount(); i++)
    line += (i ? ", " : "") + object->getInput(i)->name() + " = " + number(object->getInput(i)->constant());
  text += "  inlets:     " + (line.empty() ? std::string("-") : line) + "\n";
  line.clear();
  for (int i = 0; i < object->outputCount(); i++) line += (i ? ", " : "") + object->getOutput(i)->name();
  text += "  outlets:    " + (line.empty() ? std::string("-") : line) + "\n";
  line.clear();
  for (int i = 0; i < object->parameterCount(); i++)
    line += (i ? ", " : "") + object->getParameter(i)->name() + " = " +
            number(object->getParameter(i)->defaultValue());
  text += "  parameters: " + (line.empty() ? std::string("-") : line) + "\n";
  line.clear();
  for (int i = 0; i < object->optionCount(); i++)
    line += (i ? ", " : "") + object->getOption(i)->name() + " = " +
            std::to_string(object->getOption(i)->defaultValue());
  text += "  options:    " + (line.empty() ? std::string("-") : line) + "\n";
  return text;
}

// The names of a module's callable tables (its classes), sorted.
std::vector<std::string> classNames(lua_State *L, const char *module) {
  std::vector<std::string> names;
  lua_getfield(L, LUA_REGISTRYINDEX, LUA_LOADED_TABLE);
  lua_getfield(L, -1, module);
  if (lua_istable(L, -1)) {
    lua_pushnil(L);
    while (lua_next(L, -2)) {
      if (lua_type(L, -2) == LUA_TSTRING && lua_istable(L, -1) && luaL_getmetafield(L, -1, "__call") != LUA_TNIL) {
        lua_pop(L, 1);
        names.push_back(lua_tostring(L, -2));
      }
      lua_pop(L, 1);
    }
  }
  lua_pop(L, 2);
  std::sort(names.begin(), names.end());
  return names;
}

// How describeClass tries to make an object: the arguments pushed, and how the title shows them.
struct Construction {
  int arguments;
  const char *shown;
};
const Construction kConstructions[] = {
    {0, ""},                       // most units
    {1, "(1)"},                    // a channel count
    {2, "(\"unit\", 1)"},          // a name and a channel count (od::Unit)
    {4, "(0, 0, 128, 64)"},        // a rectangle (widgets)
};

void pushArguments(lua_State *L, int count) {
  if (count == 1 || count == 2) {
    if (count == 2) lua_pushstring(L, "unit");
    lua_pushinteger(L, 1);
  } else if (count == 4) {
    for (int value : {0, 0, 128, 64}) lua_pushinteger(L, value);
  }
}

// Makes one object of a class and describes it, trying each way of kConstructions in turn.
// Empty when the class is not a processing object or a widget; a constructor none of the
// ways fit is reported with its message.
std::string describeClass(LuaSession &session, const char *module, const std::string &name, const std::string &title,
                          bool reportOthers) {
  lua_State *L = session.state();
  const int top = lua_gettop(L);
  std::string reason;
  for (const Construction &way : kConstructions) {
    lua_getfield(L, LUA_REGISTRYINDEX, LUA_LOADED_TABLE);
    lua_getfield(L, -1, module);
    lua_getfield(L, -1, name.c_str());
    pushArguments(L, way.arguments);
    if (lua_pcall(L, way.arguments, 1, 0) != LUA_OK) {
      if (way.arguments == 0) reason = lua_tostring(L, -1) ? lua_tostring(L, -1) : "unknown error";
      lua_settop(L, top);
      continue;
    }
    std::string text;
    if (od::Object *object = session.toObject(-1)) text = describeObject(title + way.shown, object);
    else if (session.toGraphic(-1))
      text = title + way.shown + "\n  (a widget without ports: qvz draw " + name + " -o picture.png)\n";
    // Units that contain objects (od::Unit) have channels rather than ports of their own.
    else if (reportOthers && session.typeName(-1).find("Unit") != std::string::npos)
      text = title + way.shown + "\n  (a unit of type " + session.typeName(-1) + ": channels, not ports)\n";
    lua_settop(L, top);
    return text;
  }
  return reportOthers ? title + "\n  (cannot be made here: " + reason + ")\n" : "";
}

} // namespace

void listUnits(const std::string &only) {
  LuaSession session;
  lua_State *L = session.state();
  std::string listing;
  struct Module {
    const char *name;
    const char *prefix;
    bool library;
  };
  for (const Module &module : {Module{"qvz_libQuorvani", "", true}, Module{"od", "od.", false}}) {
    for (const std::string &name : classNames(L, module.name)) {
      const std::string title = module.prefix + name;
      if (!only.empty() && only != name && only != title) continue;
      // The host module also publishes framework classes that cannot be made; only its
      // sources are listed.
      const std::string text = describeClass(session, module.name, name, title, module.library);
      if (!text.empty()) listing += (listing.empty() ? "" : "\n") + text;
    }
  }
  std::fputs(listing.c_str(), stdout);
  if (!only.empty() && listing.empty()) throw Failure("no class named '" + only + "'; 'qvz units' lists them all");
  lua_gc(L, LUA_GCCOLLECT);
}

} // namespace qvz
