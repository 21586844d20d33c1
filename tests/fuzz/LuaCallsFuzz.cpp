// Fuzz target: the input bytes drive a sequence of Lua calls (constructors, methods, wiring,
// od.configure, od.run) made by tests/fuzz/calls.lua in a fresh interpreter. A call may fail
// with a Lua error; anything else the driver does not expect aborts, so libFuzzer keeps it.

#include <lua.hpp>

#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

namespace {
void openModulePaths(lua_State *L) {
  lua_getglobal(L, "package");
  lua_pushstring(L, QVZ_FUZZ_LUA_CPATH);
  lua_setfield(L, -2, "cpath");
  lua_pushstring(L, QVZ_FUZZ_LUA_PATH);
  lua_setfield(L, -2, "path");
  lua_pop(L, 1);
}
} // namespace

// Both modules stay loaded for the whole run (each input's interpreter would otherwise unload
// them on close), so that the coverage they report is counted from the start and never freed.
extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  for (const char *module : {QVZ_FUZZ_MODULE_DIR "/od.so", QVZ_FUZZ_MODULE_DIR "/qvz_libQuorvani.so"}) {
    if (!dlopen(module, RTLD_NOW | RTLD_NODELETE)) {
      std::fprintf(stderr, "fuzz: %s\n", dlerror());
      std::abort();
    }
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  lua_State *L = luaL_newstate();
  if (!L) return 0;
  luaL_openlibs(L);
  openModulePaths(L);
  lua_pushlstring(L, reinterpret_cast<const char *>(data), size);
  lua_setglobal(L, "FUZZ_INPUT");
  if (luaL_dofile(L, QVZ_FUZZ_DRIVER) != LUA_OK) {
    std::fprintf(stderr, "fuzz driver: %s\n", lua_tostring(L, -1));
    std::abort();
  }
  lua_close(L);
  return 0;
}
