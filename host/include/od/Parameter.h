#pragma once

#include <memory>
#include <string>

namespace od {

class Inlet;
class Object;
class Outlet;

// A named float setting: target() is what was set, value() follows it smoothly,
// one step per frame in updateParameters(). Connected to an outlet, the target follows
// the outlet's first sample of every frame; the connection holds the outlet's object as
// an inlet's does, and a graph orders the objects by it.
class Parameter {
public:
  Parameter(const std::string &name, float defaultValue);
  ~Parameter();
  Parameter(const Parameter &) = delete;
  Parameter &operator=(const Parameter &) = delete;

  const std::string &name() const { return mName; }
  float value() const { return mValue; }
  float target() const { return mTarget; }
  float defaultValue() const { return mDefault; }
  // The target rounded half away from zero; NaN gives 0, the int range saturates.
  int roundTarget() const;

  void set(float target) { mTarget = target; }
  void hardSet(float value) { mTarget = mValue = value; }
  void update();

  void connect(Outlet *outlet);
  void disconnect();
  bool isConnected() const;
  Outlet *source() const;

  void enableSerialization() { mSerialized = true; }
  bool isSerializationEnabled() const { return mSerialized; }

  Object *owner() const { return mOwner; }
  void setOwner(Object *owner) { mOwner = owner; }

private:
  Object *mOwner = nullptr;
  std::string mName;
  float mDefault;
  float mValue;
  float mTarget;
  bool mSerialized = false;
  std::unique_ptr<Inlet> mFollower; // made on the first connect
};

// A named integer choice.
class Option {
public:
  Option(const std::string &name, int defaultValue);

  const std::string &name() const { return mName; }
  int value() const { return mValue; }
  int defaultValue() const { return mDefault; }
  void set(int value) { mValue = value; }

  Object *owner() const { return mOwner; }
  void setOwner(Object *owner) { mOwner = owner; }

private:
  Object *mOwner = nullptr;
  std::string mName;
  int mDefault;
  int mValue;
};

} // namespace od
