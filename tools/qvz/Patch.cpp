#include "Patch.h"
#include "Failure.h"

#include <lua.hpp>

#include <od/config.h>

namespace qvz {

std::unique_ptr<LoadedPatch> loadPatch(const std::string &path, const std::string &code, const PatchContext &context) {
  auto patch = std::make_unique<LoadedPatch>();
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
