#include <od/Denormals.h>
#include <od/Graph.h>

#include <cxxabi.h>

#include <cstdlib>
#include <typeinfo>
#include <unordered_map>

namespace od {

namespace {

enum class Mark { Unvisited, OnPath, Done };

// One step of the depth-first walk: an object and the next inlet of it to follow.
struct Visit {
  Object *object;
  int nextInput;
};

Object *upstreamOf(Object *object, int input) {
  Outlet *source = object->getInput(input)->source();
  return source ? source->owner() : nullptr;
}

} // namespace

Graph::~Graph() { clear(); }

void Graph::clear() {
  for (Object *object : mOrder) object->release();
  mOrder.clear();
}

std::string Graph::describe(Object *object) {
  if (!object->name().empty()) return object->name();
  const char *mangled = typeid(*object).name();
  int status = 0;
  char *demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
  std::string name = status == 0 && demangled ? demangled : mangled;
  std::free(demangled);
  const std::string hostNamespace = "od::";
  if (name.compare(0, hostNamespace.size(), hostNamespace) == 0) name.erase(0, hostNamespace.size());
  return name;
}

// Post-order depth-first walk without recursion, so long chains cannot exhaust the stack.
// An edge back to an object still on the path closes a cycle; the path names it.
bool Graph::build(const std::vector<Outlet *> &outputs, std::string &error) {
  clear();
  std::unordered_map<Object *, Mark> marks;
  std::vector<Visit> path;
  std::vector<Object *> order;

  for (Outlet *outlet : outputs) {
    Object *root = outlet ? outlet->owner() : nullptr;
    if (!root || marks[root] != Mark::Unvisited) continue;
    marks[root] = Mark::OnPath;
    path.push_back({root, 0});
    while (!path.empty()) {
      Visit &top = path.back();
      if (top.nextInput >= top.object->inputCount()) {
        marks[top.object] = Mark::Done;
        order.push_back(top.object);
        path.pop_back();
        continue;
      }
      Object *upstream = upstreamOf(top.object, top.nextInput++);
      if (!upstream) continue;
      Mark &mark = marks[upstream];
      if (mark == Mark::Done) continue;
      if (mark == Mark::OnPath) {
        // Each path entry is fed by the next one, so the signal runs from the end of the
        // path back toward upstream; name the cycle in signal order.
        size_t start = 0;
        while (path[start].object != upstream) start++;
        error = "connection cycle: " + describe(upstream);
        for (size_t i = path.size(); i-- > start + 1;) error += " -> " + describe(path[i].object);
        error += " -> " + describe(upstream);
        return false;
      }
      mark = Mark::OnPath;
      path.push_back({upstream, 0});
    }
  }

  for (Object *object : order) object->attach();
  mOrder = std::move(order);
  return true;
}

void Graph::processFrame() {
  DenormalGuard guard;
  for (Object *object : mOrder) {
    object->updateParameters();
    object->process();
  }
}

} // namespace od
