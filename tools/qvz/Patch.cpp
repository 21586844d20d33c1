#include "Patch.h"
#include "Failure.h"

#include <lua.hpp>

#include <od/config.h>

#include <climits>
#include <cstdlib>

namespace qvz {

std::string absolutePath(const std::string &path) {
  if (path.empty() || path[0] == '/' || path == "-") return path;
  char *full = realpath(path.c_str(), nullptr);
  const std::string result = full ? full : path;
  std::free(full);
  return result;
}

std::string folderOf(const std::string &path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::unique_ptr<LoadedPatch> loadPatch(const std::string &path, const std::string &code, const PatchContext &context) {
  auto patch = std::make_unique<LoadedPatch>();
  patch->random.seed(context.seed);
  od::Random::Scope randomScope(patch->random);
  lua_State *L = patch->session.state();
  lua_getglobal(L, "math");
  lua_getfield(L, -1, "randomseed");
  lua_pushinteger(L, context.seed);
  lua_call(L, 1, 0);
  lua_pop(L, 1);

  const int sampleRate = globalConfig.sampleRate;
  patch->outlets = code.empty() ? patch->session.runPatchFile(path, context)
                                : patch->session.runPatch(code, path, context);
  if (globalConfig.sampleRate != sampleRate)
    throw Failure("the patch changed the sample rate to " + std::to_string(globalConfig.sampleRate) +
                  " Hz; use --rate instead");
  std::string cycle;
  if (!patch->graph.build(patch->outlets, cycle)) throw Failure(cycle);
  return patch;
}

} // namespace qvz
