// The records that the phases of the miner share. They are plain data:
// every field has the initial value that a new record must start with, and
// the phases read and write the fields directly.
#pragma once

#include <cstdint>

namespace tavrel {

// One record per item number, filled by the first pass.
struct ItemInfo {
  int occurrences = 0;         // times the item occurs in the lines read
  unsigned char frequent = 0;  // 1 when occurrences >= minSup
  int frequentIndex = -1;      // dense index of a frequent item, else -1
};

// One cell per ordered pair (a, b) of frequent items, a standing before b.
struct PairCell {
  int support = 0;           // position pairs at which a stands before b
  unsigned char unseen = 1;  // 1 until the pair is met for the first time
  int betweenCount = 0;      // live (non -1) entries of between
  int* between = nullptr;    // items that lay between a and b every time
};

// One record per frequent edge (edgeTable) or per edge of a projected array.
struct EdgeInfo {
  int edgeId = 0;              // base + index in its array
  std::int64_t pairCode = 0;   // from item * totalItems + to item
  int support = 0;             // strings holding the prefix and edge
  int occurrenceHead = -1;     // first node of the occurrence chain, -1 if empty
  int occurrenceCount = 0;     // nodes in the occurrence chain
  unsigned char absorbed = 0;  // set by the search, read by it
};

// The edge and the count of one node of an edge prefix tree (PrefixTree).
// The count is the number of strings whose transaction begins with the
// edges on the path from the root to the node. A root has edgeId -1 and as
// count the number of strings the tree stands for.
struct TreeNode {
  int edgeId = -1;
  int count = 1;
};

// An edge prefix tree, stored in pre-order in arrays indexed by node
// number. Node 0 is the root. The proper descendants of node k are the
// nodes k + 1 ... k + subtreeSize[k]; its first child, when it has one, is
// node k + 1, and each further child follows the subtree of the child
// before it, so children stand in ascending edgeId. Walking a subtree is a
// scan of memory.
struct PrefixTree {
  int nodeCount = 0;
  TreeNode* nodes = nullptr;
  int* subtreeSize = nullptr;
  int* parent = nullptr;          // -1 for the root
  int* nextOccurrence = nullptr;  // next node of the chain the node is in, -1 at the end
};

}  // namespace tavrel
