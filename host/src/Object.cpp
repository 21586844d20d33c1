#include <od/Object.h>

namespace od {

Object::Object() = default;
Object::~Object() = default;

void Object::addInput(Inlet &inlet) {
  inlet.setOwner(this);
  mInputs.push_back(&inlet);
}

void Object::addOutput(Outlet &outlet) {
  outlet.setOwner(this);
  mOutputs.push_back(&outlet);
}

void Object::addParameter(Parameter &parameter) {
  parameter.setOwner(this);
  mParameters.push_back(&parameter);
}

void Object::addOption(Option &option) {
  option.setOwner(this);
  mOptions.push_back(&option);
}

namespace {
template <typename T> T *byIndex(std::vector<T *> &list, int index) {
  return index >= 0 && index < (int)list.size() ? list[index] : nullptr;
}
template <typename T> T *byName(std::vector<T *> &list, const std::string &name) {
  for (T *item : list)
    if (item->name() == name) return item;
  return nullptr;
}
} // namespace

Inlet *Object::getInput(int index) { return byIndex(mInputs, index); }
Inlet *Object::getInput(const std::string &name) { return byName(mInputs, name); }
Outlet *Object::getOutput(int index) { return byIndex(mOutputs, index); }
Outlet *Object::getOutput(const std::string &name) { return byName(mOutputs, name); }
Parameter *Object::getParameter(int index) { return byIndex(mParameters, index); }
Parameter *Object::getParameter(const std::string &name) { return byName(mParameters, name); }
Option *Object::getOption(int index) { return byIndex(mOptions, index); }
Option *Object::getOption(const std::string &name) { return byName(mOptions, name); }

void Object::updateParameters() {
  for (Parameter *parameter : mParameters) parameter->update();
}

} // namespace od
