#pragma once

#include <od/Object.h>
#include <od/Unit.h>

#include <string>
#include <vector>

namespace od {

// The objects and units that feed a set of outlets, in an order where each runs after
// everything its inlets read from. An object that a unit runs (directly or through a
// contained unit) is not scheduled on its own: the outermost such unit runs in its place
// through its own process(), so its lock, run order and enabled and bypass flags hold as
// they do in any host. Each frame runs every step once: an object's updateParameters()
// then process(), or a unit's process(). The graph holds everything it runs until it is
// destroyed or rebuilt.
class Graph {
public:
  // One step of a frame: a unit when `unit` is set, else an object.
  struct Step {
    Object *object = nullptr;
    Unit *unit = nullptr;
    bool operator==(const Step &other) const { return object == other.object && unit == other.unit; }
  };

  Graph() = default;
  ~Graph();
  Graph(const Graph &) = delete;
  Graph &operator=(const Graph &) = delete;

  // Collects and orders everything reachable upstream of the outlets. A connection
  // cycle is refused: returns false and describes the cycle ("A -> B -> A") in error.
  // Build on the thread that makes and frees objects and units.
  bool build(const std::vector<Outlet *> &outputs, std::string &error);

  // Runs one frame of every step in order, with denormals flushed.
  void processFrame() OD_NONBLOCKING;

  const std::vector<Step> &order() const { return mOrder; }

  // How an object is named in messages: its name if it has one, else its class.
  static std::string describe(Object *object);
  // A step's name: the unit's name, or describe(object).
  static std::string describe(const Step &step);

private:
  void clear();

  std::vector<Step> mOrder;
};

} // namespace od
