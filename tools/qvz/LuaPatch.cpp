#include "LuaPatch.h"
#include "Failure.h"

#include <lua.hpp>
// Included after lua.hpp, so the Lua API it uses has C linkage.
#include "swigluarun.h"

#include <od/config.h>

#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstring>

extern const char kPatternChunk[];
extern const std::size_t kPatternChunkLength;

namespace qvz {

namespace {

constexpr const char *kOutletType = "od::Outlet *";
constexpr const char *kObjectType = "od::Object *";
constexpr const char *kGraphicType = "od::Graphic *";
// Registry keys: the checked swig_type the modules install, and the patch's results.
constexpr const char *kTypeNameKey = "qvz.swig_type";
constexpr const char *kResultsKey = "qvz.results";
constexpr const char *kTracebackKey = "qvz.traceback";
constexpr int kTracebackLines = 8; // at most, below the message
constexpr const char *kSchedulerKey = "qvz.runDue";

// qvz.at(seconds, fn) and qvz.every(seconds, fn), and the function the host calls between
// frames: it runs every callback due by then in time order (fn gets the time it was due) and
// returns when the next one is due. A callback that fails is dropped before its error goes on.
constexpr const char kScheduler[] = R"(
local qvz, handler = ...
local entries, made = {}, 0
local function add(name, seconds, fn, interval)
  if type(seconds) ~= "number" or seconds ~= seconds or seconds == math.huge or seconds < 0 then
    error(name .. ": seconds must be a finite number from 0, got " .. tostring(seconds), 3)
  end
  if interval and seconds < 0.001 then error(name .. ": the interval must be at least 0.001 s", 3) end
  if type(fn) ~= "function" then error(name .. ": needs a function, got " .. type(fn), 3) end
  made = made + 1
  entries[#entries + 1] = { at = seconds, every = interval and seconds, fn = fn, order = made }
end
function qvz.at(seconds, fn) add("qvz.at", seconds, fn, false) end
function qvz.every(seconds, fn) add("qvz.every", seconds, fn, true) end
local function earliest()
  local best
  for i, e in ipairs(entries) do
    local b = entries[best]
    if not b or e.at < b.at or (e.at == b.at and e.order < b.order) then best = i end
  end
  return best
end
return function(now)
  while true do
    local i = earliest()
    if not i then return nil end
    local e = entries[i]
    if e.at > now then return e.at end
    local due = e.at
    if e.every then
      made = made + 1
      e.at, e.order = e.at + e.every, made
    else
      table.remove(entries, i)
    end
    local ok, message = xpcall(e.fn, handler, due)
    if not ok then
      for k, other in ipairs(entries) do if other == e then table.remove(entries, k) break end end
      error(message, 0)
    end
  end
end
)";

// The folder holding this executable; the modules live in its lua/ folder.
std::string executableFolder() {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return ".";
  path[length] = '\0';
  char *slash = std::strrchr(path, '/');
  if (!slash) return ".";
  *slash = '\0';
  return path;
}

bool startsWithPosition(const std::string &message) {
  // "name:123:" -- what Lua puts before messages raised with a position.
  size_t colon = message.find(':');
  while (colon != std::string::npos) {
    size_t digits = colon + 1;
    while (digits < message.size() && message[digits] >= '0' && message[digits] <= '9') digits++;
    if (digits > colon + 1 && digits < message.size() && message[digits] == ':') return true;
    colon = message.find(':', colon + 1);
  }
  return false;
}

// Message handler: the error as one string, with the position of the innermost Lua line
// when the error came from C (a binding's argument check) and carries none.
int errorWithPosition(lua_State *L) {
  std::string message;
  if (const char *text = lua_tostring(L, 1)) message = text;
  else if (luaL_callmeta(L, 1, "__tostring") && lua_type(L, -1) == LUA_TSTRING) message = lua_tostring(L, -1);
  else message = std::string("(error object is a ") + luaL_typename(L, 1) + " value)";
  if (!startsWithPosition(message)) {
    lua_Debug ar;
    for (int level = 1; lua_getstack(L, level, &ar); level++) {
      lua_getinfo(L, "Sl", &ar);
      if (ar.currentline > 0) {
        message = std::string(ar.short_src) + ":" + std::to_string(ar.currentline) + ": " + message;
        break;
      }
    }
  }
  // The Lua frames that led here, innermost first; frames inside C functions say nothing.
  luaL_traceback(L, L, nullptr, 1);
  std::string traceback;
  const std::string frames = lua_tostring(L, -1);
  lua_pop(L, 1);
  int lines = 0;
  for (size_t start = frames.find('\n'); start != std::string::npos && lines < kTracebackLines;) {
    const size_t end = frames.find('\n', start + 1);
    std::string line = frames.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
    start = end;
    line.erase(0, line.find_first_not_of(" \t"));
    if (line.empty() || line.compare(0, 4, "[C]:") == 0 || line == "...") continue;
    traceback += (traceback.empty() ? "" : "\n") + line;
    lines++;
  }
  lua_pushstring(L, traceback.c_str());
  lua_setfield(L, LUA_REGISTRYINDEX, kTracebackKey);
  lua_pushstring(L, message.c_str());
  return 1;
}

// Replaces od.Sample.load with one that reads a relative path from the patch's folder.
const char *const kSampleLoadFromFolder = R"(
local folder = ...
local od = require "od"
local load = od.Sample.load
od.Sample.load = function(path, ...)
  if type(path) == "string" and path ~= "" and path:sub(1, 1) ~= "/" then path = folder .. "/" .. path end
  return load(path, ...)
end)";

std::string tooManyOutlets(const std::string &chunkName, long long count) {
  return chunkName + " returned " + std::to_string(count) + " outlets; qvz writes at most " +
         std::to_string(kMaxChannels) + " channels";
}

void requireModule(lua_State *L, const char *name, const std::string &folder) {
  lua_getglobal(L, "require");
  lua_pushstring(L, name);
  if (lua_pcall(L, 1, 1, 0) != LUA_OK) {
    const std::string reason = lua_tostring(L, -1) ? lua_tostring(L, -1) : "unknown error";
    throw Failure("cannot load the Lua module '" + std::string(name) + "' from " + folder + "/lua or " + folder +
                  "/../lib/lua/5.4: " +
                  reason.substr(0, reason.find('\n')));
  }
  lua_pop(L, 1);
}

} // namespace

InputChannels::InputChannels(int count) {
  for (int c = 0; c < count; c++) {
    mOutlets.push_back(std::make_unique<od::Outlet>("In " + std::to_string(c + 1)));
    addOutput(*mOutlets.back());
  }
}

InputChannels::~InputChannels() = default;

LuaSession::LuaSession() {
  mState = luaL_newstate();
  if (!mState) throw Failure("cannot create a Lua state");
  lua_State *L = mState;
  luaL_openlibs(L);

  const std::string folder = executableFolder();
  lua_getglobal(L, "package");
  lua_getfield(L, -1, "cpath");
  // Beside the program in a build tree, or under the prefix it was installed to.
  const std::string cpath = folder + "/lua/?.so;" + folder + "/../lib/lua/5.4/?.so;" + lua_tostring(L, -1);
  lua_pop(L, 1);
  lua_pushstring(L, cpath.c_str());
  lua_setfield(L, -2, "cpath");
  lua_pop(L, 1);

  requireModule(L, "od", folder);
  requireModule(L, "qvz_libQuorvani", folder);
  // Kept aside so that a patch replacing the global cannot fool the type checks.
  lua_getglobal(L, "swig_type");
  lua_setfield(L, LUA_REGISTRYINDEX, kTypeNameKey);
}

LuaSession::~LuaSession() {
  // Lua's references go first; the inputs are released after everything reading them.
  lua_close(mState);
  if (mInputs) mInputs->release();
}

std::string LuaSession::typeName(int index) {
  lua_State *L = mState;
  index = lua_absindex(L, index);
  lua_getfield(L, LUA_REGISTRYINDEX, kTypeNameKey);
  lua_pushvalue(L, index);
  std::string name = luaL_typename(L, index);
  if (lua_isfunction(L, -2) && lua_pcall(L, 1, 1, 0) == LUA_OK) {
    if (lua_type(L, -1) == LUA_TSTRING) name = lua_tostring(L, -1);
    lua_pop(L, 1);
  } else {
    lua_pop(L, 1);
  }
  return name;
}

void *LuaSession::toPointer(int index, const char *wanted) {
  lua_State *L = mState;
  if (lua_type(L, index) != LUA_TUSERDATA) return nullptr;
  // Only userdata the modules recognise as wrapped objects is converted.
  const std::string name = typeName(index);
  if (name.size() < 2 || name.compare(name.size() - 2, 2, " *") != 0) return nullptr;
  swig_type_info *type = SWIG_TypeQuery(L, wanted);
  void *pointer = nullptr;
  if (!type || !SWIG_IsOK(SWIG_ConvertPtr(L, index, &pointer, type, 0))) return nullptr;
  return pointer;
}

double LuaSession::runScheduled(double seconds) {
  lua_State *L = mState;
  const int top = lua_gettop(L);
  lua_pushcfunction(L, errorWithPosition);
  lua_getfield(L, LUA_REGISTRYINDEX, kSchedulerKey);
  if (!lua_isfunction(L, -1)) {
    lua_settop(L, top);
    return HUGE_VAL;
  }
  lua_pushnumber(L, seconds);
  if (lua_pcall(L, 1, 1, top + 1) != LUA_OK) {
    const std::string message = lua_tostring(L, -1) ? lua_tostring(L, -1) : "a scheduled callback failed";
    lua_settop(L, top);
    throw Failure(message);
  }
  const double next = lua_isnumber(L, -1) ? lua_tonumber(L, -1) : HUGE_VAL;
  lua_settop(L, top);
  return next;
}

od::Object *LuaSession::toObject(int index) { return static_cast<od::Object *>(toPointer(index, kObjectType)); }
od::Outlet *LuaSession::toOutlet(int index) { return static_cast<od::Outlet *>(toPointer(index, kOutletType)); }
od::Graphic *LuaSession::toGraphic(int index) { return static_cast<od::Graphic *>(toPointer(index, kGraphicType)); }

std::vector<od::Outlet *> LuaSession::runPatch(const std::string &code, const std::string &chunkName,
                                               const PatchContext &context) {
  lua_State *L = mState;
  lua_settop(L, 0);
  lua_pushcfunction(L, errorWithPosition);
  if (luaL_loadbuffer(L, code.data(), code.size(), ("@" + chunkName).c_str()) != LUA_OK)
    throw Failure(lua_tostring(L, -1));
  return call(chunkName, context);
}

std::vector<od::Outlet *> LuaSession::runPatchFile(const std::string &path, const PatchContext &context) {
  lua_State *L = mState;
  lua_settop(L, 0);
  if (access(path.c_str(), R_OK) != 0)
    throw Failure("cannot read patch '" + path + "': " + std::strerror(errno));
  lua_pushcfunction(L, errorWithPosition);
  if (luaL_loadfilex(L, path.c_str(), "t") != LUA_OK) throw Failure(lua_tostring(L, -1));
  return call(path, context);
}

// Stack on entry: [1] message handler, [2] the loaded chunk.
std::vector<od::Outlet *> LuaSession::call(const std::string &chunkName, const PatchContext &context) {
  lua_State *L = mState;
  if (mInputs) throw Failure("a session runs one patch");
  mInputs = new InputChannels(context.inputChannels);
  mInputs->attach();

  swig_type_info *outletType = SWIG_TypeQuery(L, kOutletType);
  if (!outletType) throw Failure("the module 'od' does not publish outlets");
  lua_createtable(L, 0, 6);
  lua_pushinteger(L, context.sampleRate);
  lua_setfield(L, -2, "sampleRate");
  lua_pushnumber(L, context.seconds);
  lua_setfield(L, -2, "seconds");
  lua_pushinteger(L, globalConfig.frameLength);
  lua_setfield(L, -2, "frameLength");
  lua_pushinteger(L, context.seed);
  lua_setfield(L, -2, "seed");
  if (!context.inputPath.empty()) {
    lua_pushstring(L, context.inputPath.c_str());
    lua_setfield(L, -2, "input");
  }
  lua_createtable(L, mInputs->count(), 0);
  for (int c = 0; c < mInputs->count(); c++) {
    SWIG_NewPointerObj(L, mInputs->outlet(c), outletType, 0);
    lua_rawseti(L, -2, c + 1);
  }
  lua_setfield(L, -2, "inputs");
  if (luaL_loadbuffer(L, kScheduler, sizeof kScheduler - 1, "=qvz") != LUA_OK) throw Failure(lua_tostring(L, -1));
  lua_pushvalue(L, -2);
  lua_pushcfunction(L, errorWithPosition);
  lua_call(L, 2, 1);
  lua_setfield(L, LUA_REGISTRYINDEX, kSchedulerKey);
  if (luaL_loadbuffer(L, kPatternChunk, kPatternChunkLength, "=qvz.pattern") != LUA_OK || lua_pcall(L, 0, 1, 0) != LUA_OK)
    throw Failure(std::string("cannot set up qvz.pattern: ") + lua_tostring(L, -1));
  lua_setfield(L, -2, "pattern");
  lua_setglobal(L, "qvz");

  // Without inputs `...` is empty, so `local input = ...` tells whether there are any;
  // qvz.inputs still offers silent channels.
  if (!context.patchFolder.empty()) {
    if (luaL_loadstring(L, kSampleLoadFromFolder) != LUA_OK) throw Failure(lua_tostring(L, -1));
    lua_pushstring(L, context.patchFolder.c_str());
    if (lua_pcall(L, 1, 0, 0) != LUA_OK) throw Failure(lua_tostring(L, -1));
  }

  const int arguments = context.inputsAsArguments ? mInputs->count() : 0;
  if (!lua_checkstack(L, arguments + LUA_MINSTACK)) throw Failure("no room on the Lua stack for the input channels");
  for (int c = 0; c < arguments; c++) SWIG_NewPointerObj(L, mInputs->outlet(c), outletType, 0);
  if (lua_pcall(L, arguments, LUA_MULTRET, 1) != LUA_OK) {
    const std::string message = lua_tostring(L, -1) ? lua_tostring(L, -1) : "error without a message";
    lua_getfield(L, LUA_REGISTRYINDEX, kTracebackKey);
    const std::string traceback = lua_tostring(L, -1) ? lua_tostring(L, -1) : "";
    throw PatchFailure(message, traceback);
  }

  // A single table of outlets counts as the outlets themselves.
  if (lua_gettop(L) == 2 && lua_type(L, 2) == LUA_TTABLE) {
    const lua_Integer count = (lua_Integer)lua_rawlen(L, 2);
    if (count > kMaxChannels) throw Failure(tooManyOutlets(chunkName, (long long)count));
    if (!lua_checkstack(L, (int)count + LUA_MINSTACK)) throw Failure("no room on the Lua stack for the outlets");
    for (lua_Integer k = 1; k <= count; k++) lua_rawgeti(L, 2, k);
    lua_remove(L, 2);
  }
  const int results = lua_gettop(L) - 1;
  if (results > kMaxChannels) throw Failure(tooManyOutlets(chunkName, results));
  if (results == 0)
    throw Failure(chunkName + " returned no outlets; end the patch with the outlets to record, e.g. "
                              "return osc:getOutput(\"Out\")");

  std::vector<od::Outlet *> outlets;
  for (int i = 0; i < results; i++) {
    const int index = i + 2;
    od::Outlet *outlet = toOutlet(index);
    if (!outlet) {
      const std::string what = toObject(index) ? "an object (" + typeName(index) + ")" : "a " + typeName(index);
      throw Failure(chunkName + " returned " + what + " as output " + std::to_string(i + 1) +
                    "; return outlets, e.g. obj:getOutput(\"Out\")");
    }
    outlets.push_back(outlet);
  }
  // The returned values stay referenced (and their objects alive) for the session.
  lua_createtable(L, results, 0);
  for (int i = 0; i < results; i++) {
    lua_pushvalue(L, i + 2);
    lua_rawseti(L, -2, i + 1);
  }
  lua_setfield(L, LUA_REGISTRYINDEX, kResultsKey);
  lua_settop(L, 0);
  return outlets;
}

} // namespace qvz
