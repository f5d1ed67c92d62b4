#include "tree/tree_shape.h"

#include <algorithm>

#include "state/memory.h"

namespace tavrel {

int allocatePrefixTree(PrefixTree* tree, int nodeCount) {
  std::size_t count = static_cast<std::size_t>(nodeCount);
  *tree = PrefixTree{};
  tree->nodes = newArray<TreeNode>(count);
  tree->subtreeSize = newArray<int>(count);
  tree->parent = newArray<int>(count);
  tree->nextOccurrence = newArray<int>(count);
  if (tree->nodes == nullptr || tree->subtreeSize == nullptr || tree->parent == nullptr ||
      tree->nextOccurrence == nullptr) {
    freePrefixTree(tree);
    return -1;
  }
  std::fill(tree->parent, tree->parent + count, -1);
  std::fill(tree->nextOccurrence, tree->nextOccurrence + count, -1);
  tree->nodeCount = nodeCount;
  return 0;
}

void freePrefixTree(PrefixTree* tree) {
  deleteArray(tree->nodes);
  deleteArray(tree->subtreeSize);
  deleteArray(tree->parent);
  deleteArray(tree->nextOccurrence);
  *tree = PrefixTree{};
}

}  // namespace tavrel
