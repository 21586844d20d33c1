// Units: groups of objects wired as one block, and custom units that run a chain of them.
// unit:connectInput(i, outlet) feeds input i (every inlet declared as it) from an outlet.

// The declaring calls turn a refused declaration into a Lua error instead of a silent false.
%typemap(out) bool od::Unit::addObject
%{ if (!$1) {
  SWIG_Lua_pushferrstring(L, "addObject: expected an object, got nil");
  SWIG_fail;
} %}
%typemap(out) bool od::Unit::addInput
%{ if (!$1) {
  SWIG_Lua_pushferrstring(L, "addInput: cannot declare inlet '%s' as input %d (index outside 0..255, nil object or no inlet of that name)", arg4->c_str(), arg2);
  SWIG_fail;
} %}
%typemap(out) bool od::Unit::setOutput
%{ if (!$1) {
  SWIG_Lua_pushferrstring(L, "setOutput: cannot declare outlet '%s' as output %d (index outside 0..255, nil object or no outlet of that name)", arg4->c_str(), arg2);
  SWIG_fail;
} %}
%typemap(out) bool od::Unit::connectInput
%{ if (!$1) {
  SWIG_Lua_pushferrstring(L, "connectInput: the unit has no input %d", arg2);
  SWIG_fail;
} %}
%typemap(out) bool od::CustomUnit::addUnit
%{ if (!$1) {
  SWIG_Lua_pushferrstring(L, "addUnit: the unit is nil, already in the chain, or contains this unit");
  SWIG_fail;
} %}

QVZ_REFUSED_WHILE_PLAYING(od::Unit::addObject, "addObject")
QVZ_REFUSED_WHILE_PLAYING(od::Unit::addInput, "addInput")
QVZ_REFUSED_WHILE_PLAYING(od::Unit::setOutput, "setOutput")
QVZ_REFUSED_WHILE_PLAYING(od::Unit::connectInput, "connectInput")
QVZ_REFUSED_WHILE_PLAYING(od::Unit::connect, "connect")
QVZ_REFUSED_WHILE_PLAYING(od::Unit::disconnect, "disconnect")
QVZ_REFUSED_WHILE_PLAYING(od::CustomUnit::addUnit, "addUnit")
QVZ_REFUSED_WHILE_PLAYING(od::CustomUnit::connectUnits, "connectUnits")
QVZ_REFUSED_WHILE_PLAYING(od::CustomUnit::disconnectUnits, "disconnectUnits")

namespace od {

class Monitor : public Object {
public:
  Monitor();
  virtual ~Monitor();
};

class Unit : public ReferenceCounted {
public:
  Unit(const std::string &name, int channelCount);
  virtual ~Unit();
  virtual void process();
  bool addObject(Object *object);
  bool addInput(int index, Object *object, const std::string &inletName);
  bool setOutput(int index, Object *object, const std::string &outletName);
  int getInputCount() const;
  int getOutputCount() const;
  Outlet *getOutput(int index) const;
  int getObjectCount() const;
  bool connectInput(int index, Outlet *outlet);
  static void connect(Unit *from, Unit *to);
  void disconnect();
  bool isEnabled() const;
  void setEnabled(bool enabled);
  bool isBypassed() const;
  void setBypassed(bool bypassed);
  const std::string &name() const;
  int channelCount() const;
};

class CustomUnit : public Unit {
public:
  CustomUnit(const std::string &name, int channelCount);
  virtual ~CustomUnit();
  virtual void connectUnits();
  virtual void disconnectUnits();
  bool addUnit(Unit *unit);
  void rewire();
  int getUnitCount() const;
};

} // namespace od
