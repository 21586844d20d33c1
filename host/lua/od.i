// The host's own Lua module `od`: the framework classes the units derive from and are
// wired with, plus the functions tests, examples and the offline host use.
%module od

%include "conventions.i"

%{
#include <od/AudioThread.h>
#include <od/BigHeap.h>
#include <od/CustomUnit.h>
#include <od/Monitor.h>
#include <od/Object.h>
#include <od/Parameter.h>
#include <od/Port.h>
#include <od/Random.h>
#include <od/ReferenceCounted.h>
#include <od/Unit.h>
#include <od/config.h>
%}

%include "od_core.i"
%include "od_unit.i"
%include "od_sample.i"
%include "od_graphics.i"
%include "od_sources.i"

%{
#include "od_lua.hpp"
%}

%native(configure) int qvz_od_configure(lua_State *L);
%native(run) int qvz_od_run(lua_State *L);
%native(setHeapLimit) int qvz_od_setHeapLimit(lua_State *L);
%native(heapInUse) int qvz_od_heapInUse(lua_State *L);
%native(seed) int qvz_od_seed(lua_State *L);

%init %{
  qvz_od_install_object_methods(L);
%}
