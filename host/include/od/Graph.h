#pragma once

#include <od/Object.h>

#include <string>
#include <vector>

namespace od {

// The objects that feed a set of outlets, in an order where every object runs after
// the objects its inlets read from. Each frame runs them once: updateParameters(),
// then process(). The graph holds every object it runs until it is destroyed.
class Graph {
public:
  Graph() = default;
  ~Graph();
  Graph(const Graph &) = delete;
  Graph &operator=(const Graph &) = delete;

  // Collects and orders everything reachable upstream of the outlets. A connection
  // cycle is refused: returns false and describes the cycle ("A -> B -> A") in error.
  bool build(const std::vector<Outlet *> &outputs, std::string &error);

  // Runs one frame of every object in order, with denormals flushed.
  void processFrame() OD_NONBLOCKING;

  const std::vector<Object *> &order() const { return mOrder; }

  // How an object is named in messages: its name if it has one, else its class.
  static std::string describe(Object *object);

private:
  void clear();

  std::vector<Object *> mOrder;
};

} // namespace od
