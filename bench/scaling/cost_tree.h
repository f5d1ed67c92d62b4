// The coarse cost tree of one sequential search, as the scaling benchmark
// records it and replays it.
//
// A node is a step of the search (a candidate of a frame tried) with the
// subtree below it. A node whose subtree took at least the threshold keeps
// its children, the steps of its child frame, one by one; a smaller one is
// a leaf with its subtree's time. Consecutive small siblings are merged
// into runs: a run of k steps is k sibling leaves of equal cost. The root
// stands for the top frame: its own time is the search's set-up, its
// children are the top frame's steps.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace tavrel::scaling {

struct CostNode {
  std::uint64_t time = 0;      // the subtree's time; a run's: all of its steps'
  std::uint64_t openTime = 0;  // a kept step: opening a cursor over its child frame
  std::uint64_t patterns = 0;  // patterns found in the subtree (a run: in all its steps)
  std::uint64_t steps = 1;     // a run: its sibling steps; a kept step: 1
  std::uint32_t firstChild = 0;
  std::uint32_t childCount = 0;
  bool kept = false;  // a step whose children are kept (at nodes[firstChild ...])
};

// Times are in nanoseconds once a tree is complete (the recorder works in
// clock ticks until it converts them).
struct CostTree {
  CostNode root;                // kept; its own time is the set-up before the first step
  std::vector<CostNode> nodes;  // every node but the root; siblings stand together
  std::uint64_t thresholdNs = 0;
  // Of the set-up: counting the top frame's pair table, which the parallel
  // search shares out among its threads.
  std::uint64_t pairTableNs = 0;
  std::uint64_t steps = 0;  // steps the search took
  double recordBytes = 0;   // bytes a pattern takes on its way (mean)
  bool partial = false;     // the search was cut short: only the work done is here
  std::string label;        // what was searched

  const CostNode* childrenOf(const CostNode& node) const { return nodes.data() + node.firstChild; }
  // The node's own time: its subtree's less its children's.
  std::uint64_t selfTime(const CostNode& node) const;
  // The node's own patterns: its subtree's less its children's.
  std::uint64_t selfPatterns(const CostNode& node) const;
};

// Writes the tree as text: a header of "key value" lines, then the nodes
// in pre-order, one a line ("K time open patterns children" for a kept
// step, "R steps time patterns" for a run).
void writeCostTree(const CostTree& tree, std::ostream& out);

// Reads what writeCostTree() wrote. False (with `error` set) on anything
// else.
bool readCostTree(std::istream& in, CostTree& tree, std::string& error);

}  // namespace tavrel::scaling
