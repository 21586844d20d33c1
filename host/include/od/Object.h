#pragma once

#include <od/Parameter.h>
#include <od/Port.h>
#include <od/ReferenceCounted.h>
#include <od/config.h>

#include <string>
#include <vector>

namespace od {

// Base of every processing object: named ports, parameters and options, numbered
// in registration order, and one process() call per frame.
//
// An object keeps the sample rate the host was configured with when it was built: its
// memory, its coefficients and its per-frame arithmetic all use sampleRate() and
// samplePeriod(), whatever the configuration does later. The frame length is read from the
// configuration at every frame.
class Object : public ReferenceCounted {
public:
  Object();
  ~Object() override;

  virtual void process() OD_NONBLOCKING {}
  virtual void compile() {}
  virtual void hold() { attach(); }
  virtual void unhold() { release(); }

  void addInput(Inlet &inlet);
  void addOutput(Outlet &outlet);
  void addParameter(Parameter &parameter);
  void addOption(Option &option);

  Inlet *getInput(int index);
  Inlet *getInput(const std::string &name);
  Outlet *getOutput(int index);
  Outlet *getOutput(const std::string &name);
  Parameter *getParameter(int index);
  Parameter *getParameter(const std::string &name);
  Option *getOption(int index);
  Option *getOption(const std::string &name);

  int inputCount() const { return (int)mInputs.size(); }
  int outputCount() const { return (int)mOutputs.size(); }
  int parameterCount() const { return (int)mParameters.size(); }
  int optionCount() const { return (int)mOptions.size(); }

  // Moves every parameter's value one step toward its target.
  void updateParameters();

  const std::string &name() const { return mName; }
  void setName(const std::string &name) { mName = name; }

  // The rate (Hz) and period (s) the object was built at.
  int sampleRate() const { return mSampleRate; }
  float samplePeriod() const { return mSamplePeriod; }

private:
  std::vector<Inlet *> mInputs;
  std::vector<Outlet *> mOutputs;
  std::vector<Parameter *> mParameters;
  std::vector<Option *> mOptions;
  std::string mName;
  const int mSampleRate = globalConfig.sampleRate;
  const float mSamplePeriod = globalConfig.samplePeriod;
};

} // namespace od
