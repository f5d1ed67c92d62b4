// The second pass over the strings: for every ordered pair (a, b) of
// frequent items, how often a stands before b and whether some frequent
// item lay between them at every meeting. Then the frequent edges are
// selected and numbered (edge_table.h).
#pragma once

#include <vector>

#include "input/string_feed.h"
#include "state/run_state.h"

namespace tavrel {

// The frequent edge test, applied by the edge table and by the third pass
// to the same cells: enough support and no item always between.
bool isFrequentEdge(const PairCell& cell, int minSup);

// Creates the pair matrix (frequentItemCount x frequentItemCount cells, all
// initialised before a string is read), fills it from the feed's strings,
// then runs buildEdgeTable(). Infrequent items are dropped from each string
// first, so frequent items with only infrequent ones between them count as
// adjacent. With several threads (run.threads) blocks of strings are
// counted at once and merged, when the matrices take little memory.
// Returns 0, or -1 after a reported failure (file, memory).
int buildPairStatistics(RunState& run, StringFeed& feed);

// The frequent list of a string: the frequent indices of its frequent
// items, in string order, into `list` (room for string.count entries).
// Returns its length.
int frequentList(const RunState& run, const StringView& string, int* list);

// Creates the pair matrix for the run's frequent items. Returns 0, or -1
// after reporting a lack of memory.
int createPairMatrix(RunState& run);

// The pass's work on one string's frequent list (item numbers in string
// order, m of them, all frequent): the adjacency step, then the pair step.
// The between lists hold frequent indices. Returns 0, or -1 after
// reporting a lack of memory.
int addFrequentList(RunState& run, const int* list, int m);

// The live items of a cell's between list (item numbers), in the order
// kept.
std::vector<int> liveBetween(const RunState& run, const PairCell& cell);

// Frees the pair matrix.
void releasePairMatrix(RunState& run);

}  // namespace tavrel
