// The second pass over the string database: for every ordered pair (a, b)
// of frequent items, how often a stands before b and whether some frequent
// item lay between them at every meeting. Then the frequent edges are
// selected and numbered (edge_table.h).
#pragma once

#include "state/records.h"

namespace tavrel {

// The frequent edge test, applied by the edge table and by the third pass
// to the same cells: enough support and no item always between.
bool isFrequentEdge(const PairCell& cell);

// Creates pairMatrix (frequentItemCount rows of frequentItemCount cells, all
// initialised before the file is read), fills it from the first stringCount
// lines, then runs buildEdgeTable(). Infrequent items are dropped from each
// string first, so frequent items with only infrequent ones between them
// count as adjacent. Returns 0, or -1 after a reported failure (file, line
// defect, memory).
int buildPairStatistics();

// The pass's work on one string's frequent list (item numbers in string
// order, m of them, all frequent and distinct): the adjacency step, then
// the pair step. Returns 0, or -1 when a between array cannot be allocated.
int addFrequentList(const int* list, int m);

// Frees every between array and row of pairMatrix and the row array.
void releasePairMatrix();

}  // namespace tavrel
