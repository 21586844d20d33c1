#include "Draw.h"
#include "Failure.h"
#include "LuaPatch.h"
#include "OutputFile.h"

#include <lua.hpp>

#include <od/FrameBuffer.h>

#include <cstdio>

namespace qvz {

void drawWidget(const DrawSettings &settings) {
  LuaSession session;
  lua_State *L = session.state();
  lua_getfield(L, LUA_REGISTRYINDEX, LUA_LOADED_TABLE);
  lua_getfield(L, -1, "qvz_libQuorvani");
  lua_getfield(L, -1, settings.className.c_str());
  if (lua_isnil(L, -1)) throw Failure("no class named '" + settings.className + "'; 'qvz units' lists them all");
  lua_pushinteger(L, 0);
  lua_pushinteger(L, 0);
  lua_pushinteger(L, settings.width);
  lua_pushinteger(L, settings.height);
  // A class whose constructor does not take a rectangle is not a widget either.
  od::Graphic *widget = nullptr;
  if (lua_pcall(L, 4, 1, 0) == LUA_OK) widget = session.toGraphic(-1);
  if (!widget)
    throw Failure("'" + settings.className + "' is not a widget; 'qvz units' lists the widgets");

  od::FrameBuffer frame(settings.width, settings.height, settings.monochrome);
  widget->draw(frame);
  long lit = 0;
  for (int y = 0; y < frame.height(); y++)
    for (int x = 0; x < frame.width(); x++) lit += frame.get(x, y) > 0;
  OutputFile output(settings.outputPath, "");
  std::FILE *file = output.openStream();
  const bool written = frame.writePNG(file, settings.scale);
  if (std::fclose(file) != 0 || !written) throw Failure("cannot write '" + settings.outputPath + "'");
  output.commit();
  lua_settop(L, 0);

  std::printf("%s: %d x %d %s, %ld of %ld pixels lit, saved at scale %d (%d x %d) to %s\n",
              settings.className.c_str(), settings.width, settings.height,
              settings.monochrome ? "monochrome" : "grey", lit, (long)settings.width * settings.height,
              settings.scale, settings.width * settings.scale, settings.height * settings.scale,
              settings.outputPath.c_str());
}

} // namespace qvz
