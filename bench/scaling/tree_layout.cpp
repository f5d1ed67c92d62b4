#include "scaling/tree_layout.h"

#include <algorithm>

namespace tavrel::scaling {

TreeLayout::TreeLayout(const CostTree& tree) : tree_(tree) {
  std::size_t n = tree.nodes.size();
  self_.resize(n);
  selfPatterns_.resize(n);
  firstCandidate_.resize(n);
  for (std::size_t k = 0; k < n; ++k) {
    self_[k] = static_cast<double>(tree.selfTime(tree.nodes[k]));
    selfPatterns_[k] = static_cast<double>(tree.selfPatterns(tree.nodes[k]));
  }
  number(tree.root);
  for (const CostNode& node : tree.nodes) {
    if (node.kept) number(node);
  }
}

void TreeLayout::number(const CostNode& node) {
  std::uint64_t c = 0;
  for (std::uint32_t k = 0; k < node.childCount; ++k) {
    firstCandidate_[node.firstChild + k] = c;
    c += tree_.nodes[node.firstChild + k].steps;
  }
}

std::size_t TreeLayout::childAt(const CostNode& node, std::uint64_t c) const {
  auto begin = firstCandidate_.begin() + node.firstChild;
  auto at = std::upper_bound(begin, begin + node.childCount, c);
  return static_cast<std::size_t>(at - firstCandidate_.begin()) - 1;
}

namespace {

// The longest chain below a node: its own time, then its longest child's.
double criticalPath(const TreeLayout& layout, const CostNode& node) {
  if (!node.kept) return static_cast<double>(node.time) / static_cast<double>(node.steps);
  double longest = 0;
  const CostNode* children = layout.tree().childrenOf(node);
  for (std::uint32_t k = 0; k < node.childCount; ++k) {
    longest = std::max(longest, criticalPath(layout, children[k]));
  }
  return layout.selfNs(node) + longest;
}

}  // namespace

double setupOn(const CostTree& tree, int cores) {
  double setup = static_cast<double>(tree.selfTime(tree.root));
  double pairs = std::min(setup, static_cast<double>(tree.pairTableNs));
  return setup - pairs + pairs / std::max(1, cores);
}

TreeLimits limitsOf(const CostTree& tree) {
  TreeLayout layout(tree);
  TreeLimits limits;
  limits.totalNs = static_cast<double>(tree.root.time);
  limits.setupNs = layout.selfNs(tree.root);
  // With the pair table shared out among endless workers.
  limits.criticalPathNs = criticalPath(layout, tree.root) - limits.setupNs + setupOn(tree, 1 << 30);
  for (const CostNode& node : tree.nodes) {
    if (node.kept) {
      limits.largestStepNs = std::max(limits.largestStepNs, layout.selfNs(node));
    } else {
      double each = static_cast<double>(node.time) / static_cast<double>(node.steps);
      limits.largestLeafNs = std::max(limits.largestLeafNs, each);
    }
  }
  return limits;
}

}  // namespace tavrel::scaling
