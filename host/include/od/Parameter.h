#pragma once

#include <string>

namespace od {

class Object;

// A named float setting: target() is what was set, value() follows it smoothly,
// one step per frame in updateParameters().
class Parameter {
public:
  Parameter(const std::string &name, float defaultValue);

  const std::string &name() const { return mName; }
  float value() const { return mValue; }
  float target() const { return mTarget; }
  float defaultValue() const { return mDefault; }
  // The target rounded half away from zero; NaN gives 0, the int range saturates.
  int roundTarget() const;

  void set(float target) { mTarget = target; }
  void hardSet(float value) { mTarget = mValue = value; }
  void update();

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
