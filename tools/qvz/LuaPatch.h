#pragma once

#include "Failure.h"

#include <od/Graphic.h>
#include <od/Object.h>

#include <memory>
#include <string>
#include <vector>

struct lua_State;

namespace qvz {

// The most channels qvz reads from an input or writes to an output.
constexpr int kMaxChannels = 256;

// A Lua error in a patch: "file:line: message", and the Lua frames that led to it, one a line.
class PatchFailure : public Failure {
public:
  PatchFailure(const std::string &message, const std::string &traceback) : Failure(message), mTraceback(traceback) {}
  const std::string &traceback() const { return mTraceback; }

private:
  std::string mTraceback;
};

// The outlets a patch finds in `...` and qvz.inputs: one per channel of the input file,
// filled by the renderer before every frame (without an input file, two silent ones in
// qvz.inputs only).
class InputChannels : public od::Object {
public:
  explicit InputChannels(int count);
  ~InputChannels() override;

  int count() const { return (int)mOutlets.size(); }
  float *buffer(int channel) { return mOutlets[channel]->buffer(); }
  od::Outlet *outlet(int channel) { return mOutlets[channel].get(); }

private:
  std::vector<std::unique_ptr<od::Outlet>> mOutlets;
};

// What the patch sees in its `qvz` table.
struct PatchContext {
  int sampleRate = 0;
  double seconds = 0.0;
  int inputChannels = 0;
  unsigned seed = 0;
  std::string inputPath; // qvz.input; nil without an input file
  bool inputsAsArguments = false; // the input channels also arrive in `...`
  std::string patchFolder; // where od.Sample.load finds relative paths; empty: the working folder
};

// A Lua 5.4 state with both modules loaded from the folder beside the executable.
class LuaSession {
public:
  LuaSession();
  ~LuaSession();
  LuaSession(const LuaSession &) = delete;
  LuaSession &operator=(const LuaSession &) = delete;

  lua_State *state() { return mState; }
  InputChannels &inputs() { return *mInputs; }

  // Runs a patch and returns the outlets it returned; a Lua error becomes a Failure
  // reading "file:line: message". chunkName is how messages name the patch.
  std::vector<od::Outlet *> runPatch(const std::string &code, const std::string &chunkName,
                                     const PatchContext &context);
  std::vector<od::Outlet *> runPatchFile(const std::string &path, const PatchContext &context);

  // Runs the patch's qvz.at and qvz.every callbacks due by this time (seconds from the
  // patch's start); returns when the next one is due (HUGE_VAL: none). A failing callback
  // is dropped and its error thrown as a Failure reading "file:line: message".
  double runScheduled(double seconds);

  // The wrapped object at a stack index, or null when the value is not one.
  od::Object *toObject(int index);
  od::Outlet *toOutlet(int index);
  od::Graphic *toGraphic(int index);
  // The type name of a wrapped value ("od::Outlet *"), or Lua's name of the type.
  std::string typeName(int index);

private:
  std::vector<od::Outlet *> call(const std::string &chunkName, const PatchContext &context);
  void *toPointer(int index, const char *typeName);

  lua_State *mState = nullptr;
  InputChannels *mInputs = nullptr;
};

} // namespace qvz
