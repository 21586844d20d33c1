#pragma once

#include "LuaPatch.h"

#include <od/Changes.h>
#include <od/Graph.h>
#include <od/Random.h>

#include <memory>
#include <string>
#include <vector>

namespace qvz {

// A patch run and ready to play: its Lua state (which holds its objects), the graph that
// runs them and the outlets it returned, one per output channel.
struct LoadedPatch {
  od::RandomSource random; // what its units and od.seed draw from, seeded with the context's seed
  LuaSession session;
  od::Graph graph;
  std::vector<od::Outlet *> outlets;
  // Settings its Lua changes while it plays live; last, so its holds go first.
  od::ChangeQueue changes;
};

// The path made absolute when it names something that exists ("-" and "" stay as they are).
std::string absolutePath(const std::string &path);
// The folder part of a path: "." without a slash.
std::string folderOf(const std::string &path);

// Runs a patch (code under chunkName, or the file at path when code is empty) with the
// configuration already applied, seeds its random source and its Lua generator with
// context.seed and orders its graph. Frames of it run inside od::Random::Scope(patch->random). Throws Failure ("file:line: message" for Lua errors) when any step fails; a patch
// that changes the sample rate is refused.
std::unique_ptr<LoadedPatch> loadPatch(const std::string &path, const std::string &code, const PatchContext &context);

} // namespace qvz
