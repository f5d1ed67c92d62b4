#include "tree/tree_shape.h"

#include <cstdlib>

#include "state/memory.h"

namespace tavrel {

namespace {

// Room for `count` values of T, not set; nullptr after reporting a lack of
// memory.
template <typename T>
T* allocateUnset(std::size_t count) {
  std::size_t bytes = sizeof(T) * (count == 0 ? 1 : count);
  void* memory = std::malloc(bytes);
  if (memory == nullptr) reportOutOfMemory();
  adviseHugePages(memory, bytes);
  return static_cast<T*>(memory);
}

}  // namespace

int allocatePrefixTree(PrefixTree* tree, int nodeCount, bool withLinks) {
  std::size_t count = static_cast<std::size_t>(nodeCount);
  *tree = PrefixTree{};
  tree->nodes = allocateUnset<TreeNode>(count);
  tree->subtreeSize = allocateUnset<int>(count);
  tree->parent = allocateUnset<int>(count);
  if (withLinks) tree->nextOccurrence = allocateUnset<int>(count);
  if (tree->nodes == nullptr || tree->subtreeSize == nullptr || tree->parent == nullptr ||
      (withLinks && tree->nextOccurrence == nullptr)) {
    freePrefixTree(tree);
    return -1;
  }
  tree->nodeCount = nodeCount;
  return 0;
}

void freePrefixTree(PrefixTree* tree) {
  std::free(tree->nodes);
  std::free(tree->subtreeSize);
  std::free(tree->parent);
  std::free(tree->nextOccurrence);
  *tree = PrefixTree{};
}

}  // namespace tavrel
