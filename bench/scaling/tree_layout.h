// The cost tree with what a replay looks up quickly, and the limits that
// the tree itself sets to any speed-up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "scaling/cost_tree.h"

namespace tavrel::scaling {

// The tree with what the replay looks up: each node's own time and
// patterns, and where each child's candidates begin in its parent's frame.
class TreeLayout {
 public:
  // Looks at `tree`, which must outlive the layout.
  explicit TreeLayout(const CostTree& tree);
  const CostTree& tree() const { return tree_; }
  // A node's place in tree().nodes (not for the root).
  std::size_t indexOf(const CostNode& node) const {
    return static_cast<std::size_t>(&node - tree_.nodes.data());
  }
  // A node's own time: its subtree's less its children's (the root's:
  // the set-up).
  double selfNs(const CostNode& node) const {
    return &node == &tree_.root ? static_cast<double>(tree_.selfTime(node)) : self_[indexOf(node)];
  }
  // The patterns a node's own step found (not for the root).
  double selfPatterns(const CostNode& node) const { return selfPatterns_[indexOf(node)]; }
  // The candidates of a kept node's frame.
  std::uint64_t candidates(const CostNode& node) const {
    if (node.childCount == 0) return 0;
    std::size_t last = node.firstChild + node.childCount - 1;
    return firstCandidate_[last] + tree_.nodes[last].steps;
  }
  // The child of a kept node (its index in tree().nodes) that holds
  // candidate c.
  std::size_t childAt(const CostNode& node, std::uint64_t c) const;
  // Where a child's candidates begin in its parent's frame.
  std::uint64_t firstCandidate(std::size_t child) const { return firstCandidate_[child]; }

 private:
  // Numbers the candidates of a kept node's children.
  void number(const CostNode& node);

  const CostTree& tree_;
  std::vector<double> self_;
  std::vector<double> selfPatterns_;
  std::vector<std::uint64_t> firstCandidate_;
};

// What bounds the speed-up whatever the number of workers.
struct TreeLimits {
  double totalNs = 0;  // the recorded search
  double setupNs = 0;  // the root's own time, as recorded on one worker
  // The set-up but for its pair table, then the longest chain of steps
  // that follow one another.
  double criticalPathNs = 0;
  double largestStepNs = 0;  // the longest single step that cannot be cut (own time)
  double largestLeafNs = 0;  // the longest subtree kept as one leaf
};

// The set-up on a node of `cores` workers: its pair table shared out
// among them.
double setupOn(const CostTree& tree, int cores);

// The tree's own limits.
TreeLimits limitsOf(const CostTree& tree);

}  // namespace tavrel::scaling
