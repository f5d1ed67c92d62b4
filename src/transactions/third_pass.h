// The third pass over the string database: each string becomes its edge
// transaction (the ascending edgeIds of the frequent edges it holds), and
// the transactions are gathered, equal ones merged, into edgeDatabase.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavrel {

// Builds edgeDatabase from the first stringCount lines: every distinct
// non-empty edge transaction once with the number of strings that hold
// exactly it, each edge's support, and stringCount as the root support.
// The pair matrix is released on the way, as nothing after this pass needs
// it. Returns 0, or -1 after a reported failure (file, line defect,
// memory).
int buildEdgeDatabase();

// A frequentItemCount x frequentItemCount matrix whose entry
// [a * frequentItemCount + b] is the edgeId of the pair of frequent indices
// (a, b) when its cell in pairMatrix passes the frequent edge test, else -1.
// Returns nullptr after reporting a lack of memory; free with deleteArray().
int* makeEdgeIdMatrix();

// Builds the edge transaction of one string's frequent list (the frequent
// indices of its distinct frequent items in string order, m of them) into
// `transaction` (room for edgeCount entries), sorted ascending, and returns
// its length, using the matrix of makeEdgeIdMatrix() and `held`, a bit set
// of edgeCount bits that is all clear before and after the call.
std::size_t makeEdgeTransaction(const int* frequentList, int m, const int* edgeIdOfPair,
                                std::uint64_t* held, std::uint32_t* transaction);

}  // namespace tavrel
