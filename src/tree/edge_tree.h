// The third pass over the string database: each string becomes its edge
// transaction (the ascending edgeIds of the frequent edges it holds) and
// all transactions are stored in the edge prefix tree, edgeTree.
#pragma once

#include <cstdint>

#include "state/records.h"

namespace tavrel {

// Builds the edge prefix tree of the first stringCount lines as edgeTree
// (in pre-order, see PrefixTree): the root has edgeId -1
// and count stringCount; every other node stands for a non-empty prefix of
// some transactions and counts the strings whose transaction begins with
// it; children stand in ascending edgeId. Afterwards the occurrence chain of
// every edge that begins a transaction holds exactly the root's child of
// that edge, and every other chain is empty (the tree is made without
// occurrence links: no chain holds a second node). The pair matrix is released on
// the way, as nothing after this pass needs it. Returns 0, or -1 after a
// reported failure (file, line defect, memory).
int buildEdgeTree();

// A frequentItemCount x frequentItemCount matrix whose entry
// [a * frequentItemCount + b] is the edgeId of the pair of frequent indices
// (a, b) when its cell in pairMatrix passes the frequent edge test, else -1.
// Returns nullptr after reporting a lack of memory.
int* makeEdgeIdMatrix();

// Builds the edge transaction of one string's frequent list (the frequent
// indices of its distinct frequent items in string order, m of them) into
// `transaction` (room for edgeCount entries), sorted ascending, and returns
// its length, using the matrix of makeEdgeIdMatrix() and `held`, a bit set
// of edgeCount bits that is all clear before and after the call.
int makeEdgeTransaction(const int* frequentList, int m, const int* edgeIdOfPair,
                        std::uint64_t* held, int* transaction);

// Frees edgeTree and empties it.
void releaseEdgeTree();

}  // namespace tavrel
