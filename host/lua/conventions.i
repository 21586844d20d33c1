// Typemaps and runtime mends shared by every Lua module of this project, so that
// wrong arguments from Lua end in the binding's Lua errors and never in a crash.

// Only the typemaps are wanted: the cut-down string class it also declares would be
// published in each module, and its constructor aborts the process when given nil.
// The audio-path mark of od/config.h means nothing to the wrappers.
#define OD_NONBLOCKING

%ignore std::string;
%include <std_string.i>

%{
#include <od/Denormals.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>

// The text of a C++ exception that must not cross into Lua (an uncaught one would end the
// interpreter): kept in the caller's buffer, raised as a Lua error once the handler is left.
static void qvz_describe_exception(const std::exception &e, char *text, size_t size) {
  if (dynamic_cast<const std::bad_alloc *>(&e)) std::snprintf(text, size, "out of memory");
  else std::snprintf(text, size, "%s", e.what());
}

// Runs a hand-written Lua function of a module; a C++ exception escaping it becomes a Lua error.
template <int (*Function)(lua_State *)> int qvz_guarded(lua_State *L) {
  char failure[256];
  try {
    return Function(L);
  } catch (const std::exception &e) {
    qvz_describe_exception(e, failure, sizeof failure);
  }
  return luaL_error(L, "%s", failure);
}
%}

// Every wrapped call does the same: a C++ exception (a refused allocation above all) is a
// Lua error naming the call.
%define QVZ_GUARDED_ACTION
  {
    char qvz_failure[256] = "";
    try {
      $action
    } catch (const std::exception &e) {
      qvz_describe_exception(e, qvz_failure, sizeof qvz_failure);
    }
    if (qvz_failure[0]) {
      lua_pushfstring(L, "$symname: %s", qvz_failure);
      SWIG_fail;
    }
  }
%enddef
%exception { QVZ_GUARDED_ACTION }
// A frame processed from Lua runs with denormals flushed to zero, as the host runs it.
%exception process {
  od::DenormalGuard qvz_denormals;
  QVZ_GUARDED_ACTION
}

// Numbers given for an int are truncated toward zero and saturate at the int range; NaN is 0.
%typemap(in, checkfn="lua_isnumber") int
%{ {
  const lua_Number number = lua_tonumber(L, $input);
  if (std::isnan(number)) $1 = 0;
  else if (number >= 2147483647.0) $1 = INT_MAX;
  else if (number <= -2147483648.0) $1 = INT_MIN;
  else $1 = (int)number;
} %}

// int results are Lua integers.
%typemap(out) int %{ lua_pushinteger(L, (lua_Integer)$1); SWIG_arg++; %}

// A number passed as a string arrives as its text.
%typemap(in, checkfn="lua_isstring") const std::string & (std::string temp)
%{ {
  size_t length = 0;
  const char *text = lua_tolstring(L, $input, &length);
  temp.assign(text, length);
  $1 = &temp;
} %}
%typemap(in, checkfn="lua_isstring") std::string
%{ {
  size_t length = 0;
  const char *text = lua_tolstring(L, $input, &length);
  $1.assign(text, length);
} %}

// A nil object is refused with the conversion message instead of calling the method on null.
%typemap(in, checkfn="SWIG_isptrtype") SWIGTYPE *self, SWIGTYPE const *self
%{ if (!SWIG_IsOK(SWIG_ConvertPtr(L, $input, (void **)&$1, $descriptor, 0)) || !$1) {
  SWIG_fail_ptr("$symname", $argnum, $descriptor);
} %}

%{
// Only a full userdata whose type record belongs to a loaded module is a wrapped object;
// anything else (another library's userdata) is never read as one.
static swig_lua_userdata *qvz_wrapped(lua_State *L, int index) {
  if (lua_type(L, index) != LUA_TUSERDATA) return nullptr;
  if (lua_rawlen(L, index) < sizeof(swig_lua_userdata)) return nullptr;
  swig_lua_userdata *usr = (swig_lua_userdata *)lua_touserdata(L, index);
  swig_module_info *start = SWIG_GetModule(L);
  if (!start) return nullptr;
  swig_module_info *module = start;
  do {
    for (size_t i = 0; i < module->size; i++)
      if (module->types[i] == usr->type) return usr;
    module = module->next;
  } while (module && module != start);
  return nullptr;
}

static const char *qvz_typename(lua_State *L, int index) {
  if (lua_isuserdata(L, index)) {
    swig_lua_userdata *usr = qvz_wrapped(L, index);
    if (usr && usr->type && usr->type->str) return usr->type->str;
    return "userdata (unknown type)";
  }
  return lua_typename(L, lua_type(L, index));
}

static int qvz_convert_ptr(lua_State *L, int index, void **ptr, swig_type_info *type, int flags) {
  if (lua_type(L, index) == LUA_TUSERDATA && !qvz_wrapped(L, index)) return SWIG_ERROR;
  return SWIG_Lua_ConvertPtr(L, index, ptr, type, flags);
}

static int qvz_swig_type(lua_State *L) {
  lua_pushstring(L, qvz_typename(L, 1));
  return 1;
}

static int qvz_swig_equals(lua_State *L) {
  if (!lua_isuserdata(L, 1) || !lua_isuserdata(L, 2)) return 0;
  swig_lua_userdata *a = qvz_wrapped(L, 1);
  swig_lua_userdata *b = qvz_wrapped(L, 2);
  if (a && b) lua_pushboolean(L, a->ptr == b->ptr);
  else lua_pushboolean(L, lua_touserdata(L, 1) == lua_touserdata(L, 2) && !a && !b);
  return 1;
}

// Metamethods and __disown of every class check that they were handed a wrapped object;
// called on another library's userdata they do nothing (or compare identities).
static int qvz_class_equal(lua_State *L) {
  swig_lua_userdata *a = qvz_wrapped(L, 1);
  swig_lua_userdata *b = qvz_wrapped(L, 2);
  lua_pushboolean(L, a && b ? a->ptr == b->ptr : lua_rawequal(L, 1, 2));
  return 1;
}

static int qvz_class_tostring(lua_State *L) {
  swig_lua_userdata *usr = qvz_wrapped(L, 1);
  if (!usr) {
    lua_pushfstring(L, "<%s>", qvz_typename(L, 1));
    return 1;
  }
  return SWIG_Lua_class_tostring(L);
}

static int qvz_class_disown(lua_State *L) {
  lua_settop(L, 1);
  if (!qvz_wrapped(L, 1)) return 0;
  return SWIG_Lua_class_disown(L);
}

static int qvz_class_destruct(lua_State *L) {
  if (!qvz_wrapped(L, 1)) return 0;
  return SWIG_Lua_class_destruct(L);
}

static void qvz_harden_classes(lua_State *L) {
  SWIG_Lua_get_class_registry(L);
  lua_pushnil(L);
  while (lua_next(L, -2)) {
    if (lua_istable(L, -1)) {
      lua_getfield(L, -1, ".type");
      const bool isClass = lua_isstring(L, -1);
      lua_pop(L, 1);
      if (isClass) {
        lua_pushcfunction(L, qvz_class_equal);
        lua_setfield(L, -2, "__eq");
        lua_pushcfunction(L, qvz_class_tostring);
        lua_setfield(L, -2, "__tostring");
        lua_pushcfunction(L, qvz_class_destruct);
        lua_setfield(L, -2, "__gc");
        lua_getfield(L, -1, ".fn");
        if (lua_istable(L, -1)) {
          lua_pushcfunction(L, qvz_class_disown);
          lua_setfield(L, -2, "__disown");
        }
        lua_pop(L, 1);
      }
    }
    lua_pop(L, 1);
  }
  lua_pop(L, 1);
}

#undef SWIG_ConvertPtr
#define SWIG_ConvertPtr(L, idx, ptr, type, flags) qvz_convert_ptr(L, idx, ptr, type, flags)
#undef SWIG_fail_arg
#define SWIG_fail_arg(func_name, argnum, type)                                                    \
  {                                                                                               \
    SWIG_Lua_pushferrstring(L, "Error in %s (arg %d), expected '%s' got '%s'", func_name, argnum, \
                            type, qvz_typename(L, argnum));                                       \
    goto fail;                                                                                    \
  }
%}

// The global helpers are replaced by the checked versions once the module is open.
%init %{
  lua_pushcfunction(L, qvz_swig_type);
  lua_setglobal(L, "swig_type");
  lua_pushcfunction(L, qvz_swig_equals);
  lua_setglobal(L, "swig_equals");
  qvz_harden_classes(L);
%}

%{
#include <od/DescribedDefaults.h>
#include <string>

// A processing object just made from Lua (its userdata on top of the stack) gets the inlet
// defaults its class description states. The class is known by its binding type name
// ("TapDelay *", "od::Sine *", "morpho::MorphoHead *"); this module's own classes are looked
// up first.
static void qvz_described_defaults(lua_State *L, od::ReferenceCounted *made) {
  od::Object *object = dynamic_cast<od::Object *>(made);
  if (!object) return;
  std::string type = SWIG_Lua_typename(L, -1);
  const std::string::size_type space = type.find(' ');
  if (space != std::string::npos) type.erase(space);
  const std::string::size_type scope = type.rfind("::");
  if (scope != std::string::npos) type.erase(0, scope + 2);
  const std::string host = "od." + type;
  const bool hostModule = std::strcmp(SWIG_name, "od") == 0;
  if (!od::applyDescribedDefaults(*object, (hostModule ? host : type).c_str()))
    od::applyDescribedDefaults(*object, (hostModule ? type : host).c_str());
}
%}

// Ownership follows the host's reference counting: Lua holds, never deletes. A new object
// starts with its described inlet defaults.
%feature("ref") od::ReferenceCounted "$this->attachLua(); qvz_described_defaults(L, $this);"
%feature("unref") od::ReferenceCounted "$this->releaseLua();"

// While Lua runs beside the audio thread that plays its patch (a live patch's scheduled
// callbacks), settings go through the patch's change queue, and calls that change the patch's
// structure (wiring, memory, samples) are refused: the patch file is edited and reloaded instead.
%{
#include <od/Changes.h>
%}
%define QVZ_REFUSED_WHILE_PLAYING(method, label)
%exception method {
  if (od::ChangeQueue::active()) {
    lua_pushstring(L, label ": not while the patch plays; change the patch file and let it reload");
    SWIG_fail;
  }
  $action
}
%enddef
%define QVZ_QUEUED_WHILE_PLAYING(method, label, queue_call)
%exception method {
  od::ChangeQueue *changes = od::ChangeQueue::active();
  if (changes && arg1->owner()) {
    if (!changes->queue_call) {
      lua_pushstring(L, label ": too many changes are waiting for the audio thread");
      SWIG_fail;
    }
  } else {
    $action
  }
}
%enddef
