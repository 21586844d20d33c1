#include <od/CustomUnit.h>
#include <od/Denormals.h>
#include <od/Graph.h>

#include <cxxabi.h>

#include <cstdlib>
#include <typeinfo>
#include <unordered_map>
#include <unordered_set>

namespace od {

namespace {

enum class Mark { Unvisited, OnPath, Done };

using Step = Graph::Step;

const void *keyOf(const Step &step) { return step.unit ? (const void *)step.unit : (const void *)step.object; }

// Which outermost unit runs each object. A unit inside another unit's chain is never
// outermost: its container runs it.
class UnitCover {
public:
  UnitCover() {
    const std::vector<Unit *> units = Unit::liveUnits();
    std::unordered_set<const Unit *> contained;
    for (Unit *unit : units)
      if (const CustomUnit *custom = dynamic_cast<const CustomUnit *>(unit))
        for (int i = 0; i < custom->getUnitCount(); i++) contained.insert(custom->getUnit(i));
    for (Unit *unit : units) {
      if (contained.count(unit)) continue;
      std::vector<Object *> objects;
      unit->collectObjects(objects);
      for (Object *object : objects) {
        mRunner.emplace(object, unit);
        mObjects[unit].push_back(object);
      }
    }
  }

  Step stepOf(Object *object) const {
    const auto found = mRunner.find(object);
    return found == mRunner.end() ? Step{object, nullptr} : Step{nullptr, found->second};
  }

  // The steps a step reads from, itself excluded, in inlet order.
  std::vector<Step> upstreamOf(const Step &step) const {
    std::vector<Step> upstream;
    if (step.unit) {
      for (Object *object : mObjects.at(step.unit)) add(object, step, upstream);
    } else {
      add(step.object, step, upstream);
    }
    return upstream;
  }

private:
  void add(Object *object, const Step &self, std::vector<Step> &upstream) const {
    for (int i = 0; i < object->inputCount(); i++) {
      Outlet *source = object->getInput(i)->source();
      if (!source || !source->owner()) continue;
      const Step from = stepOf(source->owner());
      // An object feeding itself is a cycle; a unit's own objects feeding each other are not.
      if (from == self && self.unit) continue;
      upstream.push_back(from);
    }
  }

  std::unordered_map<Object *, Unit *> mRunner;
  std::unordered_map<const Unit *, std::vector<Object *>> mObjects;
};

// One step of the depth-first walk: a step, what it reads from, and the next of those to follow.
struct Visit {
  Step step;
  std::vector<Step> upstream;
  size_t next;
};

} // namespace

Graph::~Graph() { clear(); }

void Graph::clear() {
  for (const Step &step : mOrder) {
    if (step.unit) step.unit->release();
    else step.object->release();
  }
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

std::string Graph::describe(const Step &step) {
  if (step.unit) return "unit '" + step.unit->name() + "'";
  return describe(step.object);
}

// Post-order depth-first walk without recursion, so long chains cannot exhaust the stack.
// An edge back to a step still on the path closes a cycle; the path names it.
bool Graph::build(const std::vector<Outlet *> &outputs, std::string &error) {
  clear();
  const UnitCover cover;
  std::unordered_map<const void *, Mark> marks;
  std::vector<Visit> path;
  std::vector<Step> order;

  for (Outlet *outlet : outputs) {
    if (!outlet || !outlet->owner()) continue;
    const Step root = cover.stepOf(outlet->owner());
    if (marks[keyOf(root)] != Mark::Unvisited) continue;
    marks[keyOf(root)] = Mark::OnPath;
    path.push_back({root, cover.upstreamOf(root), 0});
    while (!path.empty()) {
      Visit &top = path.back();
      if (top.next >= top.upstream.size()) {
        marks[keyOf(top.step)] = Mark::Done;
        order.push_back(top.step);
        path.pop_back();
        continue;
      }
      const Step upstream = top.upstream[top.next++];
      Mark &mark = marks[keyOf(upstream)];
      if (mark == Mark::Done) continue;
      if (mark == Mark::OnPath) {
        // Each path entry is fed by the next one, so the signal runs from the end of the
        // path back toward upstream; name the cycle in signal order.
        size_t start = 0;
        while (!(path[start].step == upstream)) start++;
        error = "connection cycle: " + describe(upstream);
        for (size_t i = path.size(); i-- > start + 1;) error += " -> " + describe(path[i].step);
        error += " -> " + describe(upstream);
        return false;
      }
      mark = Mark::OnPath;
      path.push_back({upstream, cover.upstreamOf(upstream), 0});
    }
  }

  for (const Step &step : order) {
    if (step.unit) step.unit->attach();
    else step.object->attach();
  }
  mOrder = std::move(order);
  return true;
}

void Graph::processFrame() {
  DenormalGuard guard;
  for (const Step &step : mOrder) {
    if (step.unit) {
      step.unit->process();
    } else {
      step.object->updateParameters();
      step.object->process();
    }
  }
}

} // namespace od
