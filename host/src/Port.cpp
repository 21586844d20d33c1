#include <od/Object.h>
#include <od/Port.h>
#include <od/config.h>

#include <cstdlib>
#include <new>

namespace od {

namespace {
constexpr size_t kPortAlignment = 16;
constexpr size_t kPortBytes = sizeof(float) * kMaxFrameLength;
} // namespace

Port::Port(const std::string &name) : mName(name) {
  mStorage = static_cast<float *>(std::aligned_alloc(kPortAlignment, kPortBytes));
  if (!mStorage) throw std::bad_alloc();
  for (int i = 0; i < kMaxFrameLength; i++) mStorage[i] = 0.0f;
}

Port::~Port() { std::free(mStorage); }

Outlet::Outlet(const std::string &name) : Port(name) {}

Outlet::~Outlet() {
  while (mFirstFollower) mFirstFollower->disconnect();
}

Inlet::Inlet(const std::string &name) : Port(name) {}

Inlet::~Inlet() { disconnect(); }

void Inlet::connect(Outlet *outlet) {
  if (outlet == mSource) return;
  disconnect();
  if (!outlet) return;
  mSource = outlet;
  mNextFollower = outlet->mFirstFollower;
  outlet->mFirstFollower = this;
  Object *upstream = outlet->owner();
  if (upstream && upstream != owner()) upstream->attach();
}

void Inlet::detach() {
  Inlet **link = &mSource->mFirstFollower;
  while (*link && *link != this) link = &(*link)->mNextFollower;
  if (*link) *link = mNextFollower;
  mNextFollower = nullptr;
  mSource = nullptr;
}

void Inlet::disconnect() {
  if (!mSource) return;
  Object *upstream = mSource->owner();
  detach();
  if (upstream && upstream != owner()) upstream->release();
}

void Inlet::setConstant(float value) {
  mConstant = value;
  for (int i = 0; i < kMaxFrameLength; i++) mStorage[i] = value;
}

} // namespace od
