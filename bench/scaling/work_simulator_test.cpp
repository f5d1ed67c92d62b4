// The replay on hand-built trees whose times are known, the tree's text
// form, and the recorder's aggregation.
#include "scaling/work_simulator.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "scaling/cost_recorder.h"
#include "scaling/cost_tree.h"
#include "scaling/tree_layout.h"

namespace tavrel::scaling {
namespace {

CostNode run(std::uint64_t steps, std::uint64_t time, std::uint64_t patterns = 0) {
  CostNode node;
  node.steps = steps;
  node.time = time;
  node.patterns = patterns;
  return node;
}

// Builds a tree from nested descriptions: a kept step with its own time and
// children, or a run.
struct Shape {
  bool kept = false;
  std::uint64_t time = 0;  // a kept step: its own time; a run: all of its steps'
  std::uint64_t steps = 1;
  std::uint64_t patterns = 0;
  std::vector<Shape> children;
};

CostNode place(const Shape& shape, CostTree& tree) {
  if (!shape.kept) return run(shape.steps, shape.time, shape.patterns);
  std::vector<CostNode> children;
  CostNode node;
  node.kept = true;
  node.time = shape.time;
  node.patterns = shape.patterns;
  for (const Shape& child : shape.children) {
    children.push_back(place(child, tree));
    node.time += children.back().time;
    node.patterns += children.back().patterns;
  }
  node.firstChild = static_cast<std::uint32_t>(tree.nodes.size());
  node.childCount = static_cast<std::uint32_t>(children.size());
  tree.nodes.insert(tree.nodes.end(), children.begin(), children.end());
  return node;
}

CostTree treeOf(const Shape& root) {
  CostTree tree;
  tree.root = place(root, tree);
  return tree;
}

Shape leaf(std::uint64_t time, std::uint64_t patterns = 0) {
  return Shape{false, time, 1, patterns, {}};
}

MachineModel machine(int cores, double splitNs = 0, double wakeNs = 0) {
  MachineModel model;
  model.coresPerNode = cores;
  model.splitNs = splitNs;
  model.wakeNs = wakeNs;
  return model;
}

TEST(WorkSimulatorTest, EqualLeavesSpreadOverAsManyWorkers) {
  CostTree tree = treeOf(Shape{true, 0, 1, 0, {leaf(1000), leaf(1000), leaf(1000), leaf(1000)}});
  EXPECT_EQ(simulate(tree, machine(1)).totalNs, 4000);
  EXPECT_EQ(simulate(tree, machine(2)).totalNs, 2000);
  EXPECT_EQ(simulate(tree, machine(4)).totalNs, 1000);
  EXPECT_EQ(simulate(tree, machine(16)).totalNs, 1000);  // no more pieces than leaves
}

TEST(WorkSimulatorTest, OneIndivisibleLeafGainsNothing) {
  CostTree tree = treeOf(Shape{true, 300, 1, 0, {leaf(5000)}});
  Prediction predicted = simulate(tree, machine(8));
  EXPECT_EQ(predicted.totalNs, 5300);  // the set-up, then the leaf
  EXPECT_EQ(predicted.splits, 0);
  EXPECT_EQ(predicted.idleNs, 7 * 5000);
}

TEST(WorkSimulatorTest, AChainIsItsOwnCriticalPath) {
  Shape chain{true, 100, 1, 0, {Shape{true, 100, 1, 0, {Shape{true, 100, 1, 0, {leaf(100)}}}}}};
  CostTree tree = treeOf(chain);
  EXPECT_EQ(simulate(tree, machine(4)).totalNs, 400);
  TreeLimits limits = limitsOf(tree);
  EXPECT_EQ(limits.criticalPathNs, 400);
  EXPECT_EQ(limits.setupNs, 100);
  EXPECT_EQ(limits.largestStepNs, 100);
}

TEST(WorkSimulatorTest, ARunIsCutByCountAndSplitsCostTime) {
  // Four steps of 1000 in one run: two workers take two each.
  CostTree even = treeOf(Shape{true, 0, 1, 0, {Shape{false, 4000, 4, 0, {}}}});
  EXPECT_EQ(simulate(even, machine(2)).totalNs, 2000);
  // Two leaves: the first worker gives the second away (10 ns), which
  // starts 5 ns after it was queued.
  CostTree pair = treeOf(Shape{true, 0, 1, 0, {leaf(1000), leaf(1000)}});
  Prediction predicted = simulate(pair, machine(2, 10, 5));
  EXPECT_EQ(predicted.totalNs, 1015);
  EXPECT_EQ(predicted.splits, 1);
}

TEST(WorkSimulatorTest, TheShallowestRangeIsCutFirst) {
  // The top frame: A, then a leaf of 200. A's frame: B, then leaves of 800,
  // 700 and 300. B's frame: leaves of 400, 900 and 200. Two workers,
  // splits of 10, wake-ups of 30.
  // 0: the first worker gives the 200 away (queued at 10, run 40-240),
  //    steps into A and B and runs the 400 until 410; the second is idle
  //    from 240 on.
  // 410: it has B's 900 and 200 and A's 800, 700, 300 untaken, and gives
  //    A's upper half (700, 300; queued at 420, taken at 450, split once
  //    more: 700 runs 460-1160, 300 1160-1460). It runs 900 (420-1320),
  //    200 (-1520) and 800 (-2320).
  // Giving B's 200 instead would end at 2370.
  Shape b{true, 0, 1, 0, {leaf(400), leaf(900), leaf(200)}};
  Shape a{true, 0, 1, 0, {b, leaf(800), leaf(700), leaf(300)}};
  CostTree tree = treeOf(Shape{true, 0, 1, 0, {a, leaf(200)}});
  Prediction predicted = simulate(tree, machine(2, 10, 30));
  EXPECT_EQ(predicted.totalNs, 2320);
  EXPECT_EQ(predicted.splits, 3);
}

TEST(WorkSimulatorTest, AClusterSendsWorkAndPatternsToNodeZero) {
  // Two nodes of one core, 100 ns apart. Node 1 asks node 0 for work; the
  // piece node 0 keeps ready goes, arrives at 200 and runs until 1200. Its
  // 10 patterns of 100 bytes take 1000 ns at 1e9 bytes/s, and 100 ns more
  // to arrive.
  CostTree tree = treeOf(Shape{true, 0, 1, 0, {leaf(1000, 10), leaf(1000, 10)}});
  MachineModel model = machine(1);
  model.nodes = 2;
  model.latencyNs = 100;
  model.bandwidth = 1e9;
  model.recordBytes = 100;
  Prediction predicted = simulate(tree, model);
  EXPECT_EQ(predicted.computeNs, 1200);
  EXPECT_EQ(predicted.totalNs, 2300);
  EXPECT_EQ(predicted.remotePieces, 1);
  EXPECT_EQ(predicted.remoteBytes, 1000);
}

TEST(WorkSimulatorTest, APieceSentToAnotherNodeRedoesThePathToItsFrame) {
  // The work sits in a frame two steps (300 + 200 ns) below the top: the
  // other node redoes them before its half.
  Shape frame{true, 200, 1, 0, {leaf(1000), leaf(1000)}};
  CostTree tree = treeOf(Shape{true, 0, 1, 0, {Shape{true, 300, 1, 0, {frame}}}});
  MachineModel model = machine(1);
  model.nodes = 2;
  model.latencyNs = 100;
  Prediction predicted = simulate(tree, model);
  // Node 1's requests at 100 and 300 find nothing to split; the one at
  // 300 waits for the step that opens the frame, split at 500. The half
  // arrives at 600, node 1 redoes the two steps (500) and runs its leaf.
  EXPECT_EQ(predicted.computeNs, 600 + 500 + 1000);
  EXPECT_EQ(predicted.remotePieces, 1);
  EXPECT_EQ(predicted.rebuildNs, 500);
}

TEST(CostTreeTest, TextFormRoundTrips) {
  Shape deep{true, 7, 1, 1, {leaf(100, 1), Shape{false, 300, 3, 2, {}}}};
  CostTree tree = treeOf(Shape{true, 50, 1, 1, {deep, leaf(1000, 4)}});
  tree.nodes[2].openTime = 11;  // `deep`: its two children come first
  tree.steps = 9;
  tree.recordBytes = 12.5;
  tree.partial = true;
  tree.label = "a b 3";
  std::stringstream text;
  writeCostTree(tree, text);
  CostTree back;
  std::string error;
  ASSERT_TRUE(readCostTree(text, back, error)) << error;
  std::stringstream again;
  writeCostTree(back, again);
  EXPECT_EQ(again.str(), text.str());
  EXPECT_EQ(back.label, "a b 3");
  EXPECT_TRUE(back.partial);
  EXPECT_EQ(back.root.time, tree.root.time);
  EXPECT_EQ(back.childrenOf(back.root)[0].openTime, 11u);
  EXPECT_EQ(simulate(back, machine(2)).totalNs, simulate(tree, machine(2)).totalNs);
  std::stringstream cut(text.str().substr(0, text.str().size() - 8));
  EXPECT_FALSE(readCostTree(cut, back, error));
}

// Replays calls of a search: a first step with two children (the first
// finding a pattern), then a second step with none.
CostTree record(double thresholdSeconds) {
  RecorderOptions options;
  options.thresholdSeconds = thresholdSeconds;
  CostRecorder recorder(options);
  recorder.start();
  recorder.cursorOpens(0);
  recorder.stepBegins(0);
  recorder.take(nullptr, 2, 1);
  recorder.cursorOpens(1);
  recorder.stepBegins(1);
  recorder.take(nullptr, 3, 1);
  recorder.stepEnds(1);
  recorder.stepBegins(1);
  recorder.stepEnds(1);
  recorder.stepEnds(0);
  recorder.stepBegins(0);
  recorder.stepEnds(0);
  return recorder.finish();
}

TEST(CostRecorderTest, KeepsChildrenAboveTheThresholdAndMergesBelowIt) {
  CostTree fine = record(1e-12);  // every step kept
  EXPECT_EQ(fine.steps, 4u);
  EXPECT_EQ(fine.root.patterns, 2u);
  ASSERT_EQ(fine.root.childCount, 2u);
  const CostNode* top = fine.childrenOf(fine.root);
  ASSERT_TRUE(top[0].kept);
  EXPECT_EQ(top[0].patterns, 2u);
  EXPECT_EQ(top[0].childCount, 2u);
  EXPECT_EQ(fine.childrenOf(top[0])[0].patterns, 1u);
  EXPECT_FALSE(top[1].kept);
  EXPECT_EQ(fine.recordBytes, 4 * (2 + 2.5));

  CostTree coarse = record(3600);  // one run of the two top steps
  ASSERT_EQ(coarse.root.childCount, 1u);
  const CostNode& only = coarse.childrenOf(coarse.root)[0];
  EXPECT_FALSE(only.kept);
  EXPECT_EQ(only.steps, 2u);
  EXPECT_EQ(only.patterns, 2u);
  EXPECT_LE(only.time, coarse.root.time);
}

}  // namespace
}  // namespace tavrel::scaling
