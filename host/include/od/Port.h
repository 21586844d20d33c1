#pragma once

#include <string>

namespace od {

class Object;
class Outlet;
class Inlet;

// A named port with one frame of samples (kMaxFrameLength floats, 16-byte aligned).
class Port {
public:
  explicit Port(const std::string &name);
  Port(const Port &) = delete;
  Port &operator=(const Port &) = delete;
  virtual ~Port();

  const std::string &name() const { return mName; }
  Object *owner() const { return mOwner; }
  void setOwner(Object *owner) { mOwner = owner; }

protected:
  float *mStorage;

private:
  std::string mName;
  Object *mOwner = nullptr;
};

class Outlet : public Port {
public:
  explicit Outlet(const std::string &name);
  ~Outlet() override;

  float *buffer() { return mStorage; }

private:
  friend class Inlet;
  Inlet *mFirstFollower = nullptr; // inlets connected to this outlet (intrusive list)
};

// Reads the buffer of the outlet it is connected to; unconnected, its own buffer
// holding a constant (0 unless set). Connecting holds the source's owner alive.
class Inlet : public Port {
public:
  explicit Inlet(const std::string &name);
  ~Inlet() override;

  float *buffer() { return mSource ? mSource->buffer() : mStorage; }
  void connect(Outlet *outlet);
  void disconnect();
  bool isConnected() const { return mSource != nullptr; }
  Outlet *source() const { return mSource; }

  void setConstant(float value);
  float constant() const { return mConstant; }

private:
  friend class Outlet;
  void detach();

  Outlet *mSource = nullptr;
  Inlet *mNextFollower = nullptr;
  float mConstant = 0.0f;
};

} // namespace od
