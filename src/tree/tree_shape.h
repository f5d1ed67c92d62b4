// Making, freeing and moving about in a prefix tree stored in pre-order
// (see PrefixTree).
#pragma once

#include "state/records.h"

namespace tavrel {

// Gives `tree` room for `nodeCount` nodes, whose fields the caller sets,
// every one of them; the occurrence links only when `withLinks` is true
// (otherwise nextOccurrence stays nullptr). Returns 0, or -1 after
// reporting a lack of memory (the tree is then empty).
int allocatePrefixTree(PrefixTree* tree, int nodeCount, bool withLinks = true);

// Frees the tree's arrays and empties it.
void freePrefixTree(PrefixTree* tree);

// The node after the last node of node k's subtree.
inline int subtreeEnd(const PrefixTree& tree, int k) { return k + 1 + tree.subtreeSize[k]; }

// Node k's first child, or -1 for a leaf.
inline int firstChild(const PrefixTree& tree, int k) {
  return tree.subtreeSize[k] > 0 ? k + 1 : -1;
}

// The child of the same parent that follows node k, or -1.
inline int nextSibling(const PrefixTree& tree, int k) {
  int parent = tree.parent[k];
  int next = subtreeEnd(tree, k);
  return parent >= 0 && next < subtreeEnd(tree, parent) ? next : -1;
}

// The number of children of node k.
inline int childCount(const PrefixTree& tree, int k) {
  int count = 0;
  for (int child = firstChild(tree, k); child >= 0; child = nextSibling(tree, child)) ++count;
  return count;
}

// Puts node k at the head of the occurrence chain of `record`.
inline void linkOccurrence(EdgeInfo& record, PrefixTree& tree, int k) {
  tree.nextOccurrence[k] = record.occurrenceHead;
  record.occurrenceHead = k;
  ++record.occurrenceCount;
}

}  // namespace tavrel
