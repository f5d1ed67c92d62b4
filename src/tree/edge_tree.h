// The third pass over the string database: each string becomes its edge
// transaction (the ascending edgeIds of the frequent edges it holds) and
// all transactions are stored in the edge prefix tree under treeRoot.
#pragma once

#include "state/records.h"

namespace tavrel {

// Creates treeRoot (edgeId -1, count stringCount) and inserts the edge
// transaction of each of the first stringCount lines. Afterwards the
// occurrence chain of every edge that begins a transaction holds exactly
// the root's child of that edge, and every other chain is empty. Returns 0,
// or -1 after a reported failure (file, line defect, memory).
int buildEdgeTree();

// Builds the edge transaction of one string's frequent list (distinct
// frequent items in string order, m of them) into `transaction` (room for
// edgeCount entries), sorted ascending, and returns its length.
int makeEdgeTransaction(const int* list, int m, int* transaction);

// Stores `transaction` (length entries, strictly ascending edgeIds) below
// `node`: nodes already on its path gain 1 in count, the rest of the path
// is created with count 1, each child list kept in ascending edgeId.
// Returns 0, or -1 after reporting a lack of memory.
int insertTransaction(const int* transaction, int length, TreeNode* node);

// Makes a new root: edgeId -1, depth 0, count `count`, no children.
TreeNode* newTreeRoot(int count);

// Frees every node of the tree under treeRoot and sets treeRoot to nullptr.
void releaseEdgeTree();

}  // namespace tavrel
