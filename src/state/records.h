// The four records that the phases of the miner share. They are plain data:
// every field has the initial value that a new record must start with, and
// the phases read and write the fields directly.
#pragma once

#include <cstdint>

namespace tavrel {

struct TreeNode;

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
  int edgeId = 0;                      // base + index in its array
  std::int64_t pairCode = 0;           // from item * totalItems + to item
  int support = 0;                     // strings holding the prefix and edge
  TreeNode* occurrenceHead = nullptr;  // first node of the occurrence chain
  int occurrenceCount = 0;             // nodes in the occurrence chain
  unsigned char absorbed = 0;          // set by the search, read by it
};

// One node of an edge prefix tree. A tree is stored in pre-order in one
// array: the node's proper descendants are the subtreeSize nodes right after
// it, its first child (when it has one) is the next node, and each further
// child follows the subtree of the child before it. Children therefore
// stand in ascending edgeId, and a walk of a subtree is a scan of memory.
// The values below are those of a new node; a root has edgeId -1 and as
// count the number of strings the tree stands for.
struct TreeNode {
  int edgeId = -1;
  int count = 1;        // strings whose transaction begins with the path to here
  int depth = 0;        // distance from the root
  int subtreeSize = 0;  // number of proper descendants
  TreeNode* parent = nullptr;
  TreeNode* nextOccurrence = nullptr;  // next node of the chain it is in
};

}  // namespace tavrel
