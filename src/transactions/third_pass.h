// The third pass over the strings: each string becomes its edge transaction
// (the ascending edgeIds of the frequent edges it holds), and the
// transactions are gathered, equal ones merged, into the run's
// edgeDatabase.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/buffer.h"
#include "input/string_feed.h"
#include "state/run_state.h"

namespace tavrel {

// Builds edgeDatabase from the feed's strings: every distinct non-empty
// edge transaction once with the number of strings that hold exactly it,
// each edge's support, and stringCount as the root support. The pair matrix
// is released on the way, as nothing after this pass needs it. Returns 0,
// or -1 after a reported failure (file, memory).
int buildEdgeDatabase(RunState& run, StringFeed& feed);

// A frequentItemCount x frequentItemCount matrix whose entry
// [a * frequentItemCount + b] is the edgeId of the pair of frequent indices
// (a, b) when its cell passes the frequent edge test, else -1. False after
// reporting a lack of memory.
bool makeEdgeIdMatrix(RunState& run, Buffer<int>& matrix);

// Builds the edge transaction of one string's frequent list (the frequent
// indices of its distinct frequent items in string order, m of them) into
// `transaction` (room for edgeCount entries), sorted ascending, and returns
// its length, using the matrix of makeEdgeIdMatrix() and `held`, a bit set
// of edgeCount / 64 + 1 words that is all clear before and after the call.
std::size_t makeEdgeTransaction(const RunState& run, const int* frequentList, int m,
                                const int* edgeIdOfPair, std::uint64_t* held,
                                std::uint32_t* transaction);

}  // namespace tavrel
