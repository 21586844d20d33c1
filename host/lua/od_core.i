// Ports, parameters, options and the object base.

// A port, parameter or option handed to Lua keeps its object's Lua value alive,
// so a patch may drop the object and still use what it took from it.
%typemap(ret) od::Inlet *, od::Outlet *, od::Parameter *, od::Option * %{
  if (lua_type(L, 1) == LUA_TUSERDATA && lua_type(L, -1) == LUA_TUSERDATA) {
    lua_pushvalue(L, 1);
    lua_setiuservalue(L, -2, 1);
  }
%}

namespace od { class Object; }

QVZ_REFUSED_WHILE_PLAYING(od::Inlet::connect, "connect")
QVZ_REFUSED_WHILE_PLAYING(od::Inlet::disconnect, "disconnect")
QVZ_QUEUED_WHILE_PLAYING(od::Inlet::setConstant, "setConstant", setConstant(*arg1, arg2))
QVZ_QUEUED_WHILE_PLAYING(od::Parameter::set, "set", setParameter(*arg1, arg2, false))
QVZ_QUEUED_WHILE_PLAYING(od::Parameter::hardSet, "hardSet", setParameter(*arg1, arg2, true))
QVZ_QUEUED_WHILE_PLAYING(od::Option::set, "set", setOption(*arg1, arg2))

namespace od {

class ReferenceCounted {
public:
  void attach();
  void release();
  int referenceCount() const;
  int luaReferenceCount() const;
  static int liveCount();
protected:
  ReferenceCounted();
  virtual ~ReferenceCounted();
};

class Port {
public:
  const std::string &name() const;
  Object *owner() const;
private:
  Port(const std::string &name);
};

class Outlet : public Port {
private:
  Outlet(const std::string &name);
};

class Inlet : public Port {
public:
  void connect(Outlet *outlet);
  void disconnect();
  bool isConnected() const;
  Outlet *source() const;
  void setConstant(float value);
  float constant() const;
private:
  Inlet(const std::string &name);
};

class Parameter {
public:
  const std::string &name() const;
  float value() const;
  float target() const;
  float defaultValue() const;
  int roundTarget() const;
  void set(float target);
  void hardSet(float value);
  void connect(Outlet *outlet);
  void disconnect();
  bool isConnected() const;
  Outlet *source() const;
  bool isSerializationEnabled() const;
private:
  Parameter(const std::string &name, float defaultValue);
};

class Option {
public:
  const std::string &name() const;
  int value() const;
  int defaultValue() const;
  void set(int value);
private:
  Option(const std::string &name, int defaultValue);
};

class Object : public ReferenceCounted {
public:
  virtual void process();
  Inlet *getInput(int index);
  Inlet *getInput(const std::string &name);
  Outlet *getOutput(int index);
  Outlet *getOutput(const std::string &name);
  Parameter *getParameter(int index);
  Parameter *getParameter(const std::string &name);
  Option *getOption(int index);
  Option *getOption(const std::string &name);
  int inputCount() const;
  int outputCount() const;
  int parameterCount() const;
  int optionCount() const;
  void updateParameters();
  const std::string &name() const;
  void setName(const std::string &name);
protected:
  Object();
  virtual ~Object();
};

} // namespace od

