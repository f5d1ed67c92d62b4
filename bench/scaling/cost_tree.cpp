#include "scaling/cost_tree.h"

#include <istream>
#include <ostream>

namespace tavrel::scaling {

namespace {

constexpr const char* kMagic = "tavrel-cost-tree 1";

void writeNode(const CostTree& tree, const CostNode& node, std::ostream& out) {
  if (!node.kept) {
    out << "R " << node.steps << ' ' << node.time << ' ' << node.patterns << '\n';
    return;
  }
  out << "K " << node.time << ' ' << node.openTime << ' ' << node.patterns << ' ' << node.childCount
      << '\n';
  const CostNode* children = tree.childrenOf(node);
  for (std::uint32_t k = 0; k < node.childCount; ++k) writeNode(tree, children[k], out);
}

// Reads one node and its subtree; the node's children go to tree.nodes
// side by side once all of their own subtrees are in.
bool readNode(std::istream& in, CostTree& tree, CostNode& node, std::string& error) {
  std::string kind;
  if (!(in >> kind)) {
    error = "the file ends before its last node";
    return false;
  }
  node = CostNode{};
  if (kind == "R") {
    if (!(in >> node.steps >> node.time >> node.patterns) || node.steps == 0) {
      error = "a run line is not 'R steps time patterns'";
      return false;
    }
    return true;
  }
  if (kind != "K" || !(in >> node.time >> node.openTime >> node.patterns >> node.childCount)) {
    error = "a node line is neither 'K time open patterns children' nor a run";
    return false;
  }
  node.kept = true;
  std::vector<CostNode> children(node.childCount);
  for (CostNode& child : children) {
    if (!readNode(in, tree, child, error)) return false;
  }
  node.firstChild = static_cast<std::uint32_t>(tree.nodes.size());
  tree.nodes.insert(tree.nodes.end(), children.begin(), children.end());
  return true;
}

}  // namespace

std::uint64_t CostTree::selfTime(const CostNode& node) const {
  if (!node.kept) return node.time;
  std::uint64_t below = 0;
  const CostNode* children = childrenOf(node);
  for (std::uint32_t k = 0; k < node.childCount; ++k) below += children[k].time;
  return below < node.time ? node.time - below : 0;
}

std::uint64_t CostTree::selfPatterns(const CostNode& node) const {
  if (!node.kept) return node.patterns;
  std::uint64_t below = 0;
  const CostNode* children = childrenOf(node);
  for (std::uint32_t k = 0; k < node.childCount; ++k) below += children[k].patterns;
  return below < node.patterns ? node.patterns - below : 0;
}

void writeCostTree(const CostTree& tree, std::ostream& out) {
  out << kMagic << '\n'
      << "label " << tree.label << '\n'
      << "threshold_ns " << tree.thresholdNs << '\n'
      << "pair_table_ns " << tree.pairTableNs << '\n'
      << "steps " << tree.steps << '\n'
      << "record_bytes " << tree.recordBytes << '\n'
      << "partial " << (tree.partial ? 1 : 0) << '\n'
      << "nodes " << tree.nodes.size() << '\n';
  writeNode(tree, tree.root, out);
}

bool readCostTree(std::istream& in, CostTree& tree, std::string& error) {
  tree = CostTree{};
  std::string line;
  if (!std::getline(in, line) || line != kMagic) {
    error = "not a cost tree (the first line is not '" + std::string(kMagic) + "')";
    return false;
  }
  std::size_t nodes = 0;
  int partial = 0;
  bool labelled = std::getline(in, line) && line.rfind("label ", 0) == 0;
  if (!labelled) {
    error = "the header lacks its 'label' line";
    return false;
  }
  tree.label = line.substr(6);
  auto field = [&in, &error](const char* name, auto& value) {
    std::string key;
    if (in >> key && key == name && in >> value) return true;
    error = std::string("the header lacks its '") + name + "' line, or its value";
    return false;
  };
  if (!field("threshold_ns", tree.thresholdNs) || !field("pair_table_ns", tree.pairTableNs) ||
      !field("steps", tree.steps) || !field("record_bytes", tree.recordBytes) ||
      !field("partial", partial) || !field("nodes", nodes)) {
    return false;
  }
  tree.partial = partial != 0;
  tree.nodes.reserve(nodes);
  if (!readNode(in, tree, tree.root, error)) return false;
  if (!tree.root.kept || tree.nodes.size() != nodes) {
    error = "the nodes do not match the header's count, or the root is a run";
    return false;
  }
  return true;
}

}  // namespace tavrel::scaling
