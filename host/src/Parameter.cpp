#include <od/Parameter.h>
#include <od/Port.h>

#include <climits>
#include <cmath>

namespace od {

namespace {
// Fraction of the remaining distance a parameter's value moves per frame.
constexpr float kParameterGlide = 0.5f;
// Closer than this (relative) to its target, a value lands on it.
constexpr float kParameterSnap = 1e-6f;
} // namespace

Parameter::Parameter(const std::string &name, float defaultValue)
    : mName(name), mDefault(defaultValue), mValue(defaultValue), mTarget(defaultValue) {}

Parameter::~Parameter() = default;

void Parameter::connect(Outlet *outlet) {
  if (!outlet) {
    disconnect();
    return;
  }
  if (!mFollower) {
    mFollower = std::make_unique<Inlet>(mName);
    mFollower->setOwner(mOwner);
  }
  mFollower->connect(outlet);
}

void Parameter::disconnect() {
  if (mFollower) mFollower->disconnect();
}

bool Parameter::isConnected() const { return mFollower && mFollower->isConnected(); }

Outlet *Parameter::source() const { return mFollower ? mFollower->source() : nullptr; }

int Parameter::roundTarget() const {
  if (std::isnan(mTarget)) return 0;
  const float r = roundf(mTarget);
  if (r >= 2147483648.0f) return INT_MAX;
  if (r < -2147483648.0f) return INT_MIN;
  return (int)r;
}

void Parameter::update() {
  if (Outlet *outlet = source()) mTarget = outlet->buffer()[0];
  const float distance = mTarget - mValue;
  if (!std::isfinite(distance) || std::fabs(distance) <= kParameterSnap * std::fmax(1.0f, std::fabs(mTarget))) {
    mValue = mTarget;
  } else {
    mValue += distance * kParameterGlide;
  }
}

Option::Option(const std::string &name, int defaultValue)
    : mName(name), mDefault(defaultValue), mValue(defaultValue) {}

} // namespace od
