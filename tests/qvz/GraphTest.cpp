#include <od/CustomUnit.h>
#include <od/Graph.h>
#include <od/Sine.h>

#include "support/Harness.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Two inlets, one outlet, one parameter; process() logs its name and the parameter's value.
class Node : public od::Object {
public:
  // The log has room for every entry a test makes, so process() logs without allocating.
  Node(const std::string &name, std::vector<std::string> &log) : mLog(log) {
    mLog.reserve(kLogCapacity);
    setName(name);
    addInput(a);
    addInput(b);
    addOutput(out);
    addParameter(level);
  }
  void process() override {
    mLog.push_back(name() + "=" + std::to_string((int)level.value()));
    out.buffer()[0] = a.buffer()[0] + b.buffer()[0] + 1.0f;
  }
  od::Inlet a{"A"};
  od::Inlet b{"B"};
  od::Outlet out{"Out"};
  od::Parameter level{"Level", 0.0f};

private:
  static constexpr size_t kLogCapacity = 64;
  std::vector<std::string> &mLog;
};

using Held = qvztest::Held<Node>;

std::vector<std::string> namesOf(const od::Graph &graph) {
  std::vector<std::string> names;
  for (const od::Graph::Step &step : graph.order()) names.push_back(od::Graph::describe(step));
  return names;
}

TEST(Graph, RunsUpstreamObjectsFirstOncePerFrameAndSkipsUnreachableOnes) {
  std::vector<std::string> log;
  Held source("source", log), left("left", log), right("right", log), sink("sink", log), idle("idle", log);
  // Diamond: source feeds left and right, both feed sink. idle reads source but feeds nothing recorded.
  left->a.connect(&source->out);
  right->a.connect(&source->out);
  sink->a.connect(&left->out);
  sink->b.connect(&right->out);
  idle->a.connect(&source->out);

  od::Graph graph;
  std::string error;
  ASSERT_TRUE(graph.build({&sink->out}, error)) << error;
  EXPECT_EQ(namesOf(graph), (std::vector<std::string>{"source", "left", "right", "sink"}));

  graph.processFrame();
  graph.processFrame();
  EXPECT_EQ(log, (std::vector<std::string>{"source=0", "left=0", "right=0", "sink=0", "source=0", "left=0",
                                           "right=0", "sink=0"}));
  // Each value was computed from this frame's upstream results: 1 + (2 + 2).
  EXPECT_EQ(sink->out.buffer()[0], 5.0f);
}

TEST(Graph, SeveralOutputsShareTheirUpstreamObjects) {
  std::vector<std::string> log;
  Held source("source", log), first("first", log), second("second", log);
  first->a.connect(&source->out);
  second->a.connect(&source->out);
  od::Graph graph;
  std::string error;
  ASSERT_TRUE(graph.build({&first->out, &second->out, &first->out, &source->out}, error)) << error;
  EXPECT_EQ(namesOf(graph), (std::vector<std::string>{"source", "first", "second"}));
}

TEST(Graph, ParametersMoveBeforeProcessRuns) {
  std::vector<std::string> log;
  Held node("node", log);
  node->level.set(8.0f);
  od::Graph graph;
  std::string error;
  ASSERT_TRUE(graph.build({&node->out}, error));
  graph.processFrame();
  graph.processFrame();
  // One glide step per frame, taken before process() reads the value.
  EXPECT_EQ(log, (std::vector<std::string>{"node=4", "node=6"}));
}

TEST(Graph, RefusesCyclesNamingTheObjectsInSignalOrder) {
  std::vector<std::string> log;
  Held input("input", log), x("x", log), y("y", log), z("z", log), output("output", log);
  // input -> x -> y -> z -> x, and z -> output
  x->a.connect(&input->out);
  y->a.connect(&x->out);
  z->a.connect(&y->out);
  x->b.connect(&z->out);
  output->a.connect(&z->out);

  od::Graph graph;
  std::string error;
  EXPECT_FALSE(graph.build({&output->out}, error));
  EXPECT_EQ(error, "connection cycle: z -> x -> y -> z");
  EXPECT_TRUE(graph.order().empty());
  graph.processFrame(); // a refused graph runs nothing
  EXPECT_TRUE(log.empty());

  // Breaking the loop makes the same patch acceptable.
  x->b.disconnect();
  EXPECT_TRUE(graph.build({&output->out}, error)) << error;
  EXPECT_EQ(namesOf(graph), (std::vector<std::string>{"input", "x", "y", "z", "output"}));
}

TEST(Graph, RefusesAnObjectFeedingItself) {
  std::vector<std::string> log;
  Held node("loop", log);
  node->b.connect(&node->out);
  od::Graph graph;
  std::string error;
  EXPECT_FALSE(graph.build({&node->out}, error));
  EXPECT_EQ(error, "connection cycle: loop -> loop");
  node->b.disconnect();
}

// A unit reached through an outlet of one of its objects runs as one step through its own
// process(), after what feeds it: a disabled contained unit stays silent, and objects of the
// unit are not run a second time.
TEST(Graph, UnitsRunThroughTheirOwnProcessAfterWhatFeedsThem) {
  std::vector<std::string> log;
  Held source("source", log), first("first", log), second("second", log), sink("sink", log);
  auto *outer = new od::CustomUnit("outer", 1);
  auto *one = new od::Unit("one", 1), *two = new od::Unit("two", 1);
  outer->attach();
  one->addObject(first.object);
  one->addInput(0, first.object, "A");
  one->setOutput(0, first.object, "Out");
  two->addObject(second.object);
  two->addInput(0, second.object, "A");
  two->setOutput(0, second.object, "Out");
  outer->addUnit(one);
  outer->addUnit(two);
  two->setEnabled(false);
  first->a.connect(&source->out);
  sink->a.connect(&second->out);

  od::Graph graph;
  std::string error;
  ASSERT_TRUE(graph.build({&sink->out}, error)) << error;
  EXPECT_EQ(namesOf(graph), (std::vector<std::string>{"source", "unit 'outer'", "sink"}));
  graph.processFrame();
  EXPECT_EQ(log, (std::vector<std::string>{"source=0", "first=0", "sink=0"}));

  // A loop from the unit's output back to its input is a cycle through the unit.
  first->b.connect(&sink->out);
  EXPECT_FALSE(graph.build({&sink->out}, error));
  EXPECT_EQ(error, "connection cycle: sink -> unit 'outer' -> sink");
  first->b.disconnect();
  first->a.disconnect();
  sink->a.disconnect();
  outer->release();
}

TEST(Graph, DescribesUnnamedObjectsByTheirClass) {
  qvztest::Held<od::Sine> sine;
  EXPECT_EQ(od::Graph::describe(sine.object), "Sine");
  sine->setName("bass");
  EXPECT_EQ(od::Graph::describe(sine.object), "bass");
}

TEST(Graph, HoldsItsObjectsUntilDestroyed) {
  std::vector<std::string> log;
  const int before = od::ReferenceCounted::liveCount();
  auto *graph = new od::Graph;
  {
    Held source("source", log), sink("sink", log);
    sink->a.connect(&source->out);
    std::string error;
    ASSERT_TRUE(graph->build({&sink->out}, error));
  }
  EXPECT_EQ(od::ReferenceCounted::liveCount(), before + 2);
  graph->processFrame();
  EXPECT_EQ(log.size(), 2u);
  delete graph;
  EXPECT_EQ(od::ReferenceCounted::liveCount(), before);
}

TEST(Graph, OutletsWithoutAnOwnerAddNothing) {
  od::Outlet loose("loose");
  od::Graph graph;
  std::string error;
  EXPECT_TRUE(graph.build({&loose, nullptr}, error));
  EXPECT_TRUE(graph.order().empty());
}

} // namespace
