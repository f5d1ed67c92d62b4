// The two walks with which a search projects a prefix tree onto an edge.
// Both take a projected array (record of edge e at index e - base) and a
// node of a tree, work on the node's proper descendants only, allocate
// nothing and change neither the tree's shape nor its counts. Every node
// they reach must have an edgeId that the array covers.
#pragma once

#include "state/records.h"

namespace tavrel {

// Adds each proper descendant's count to the support of its edge's record.
// Afterwards the support of edge f has grown by the number of strings whose
// transaction runs through node `node` and holds f. Returns 0.
int accumulateSupport(EdgeInfo* projected, int base, const PrefixTree& tree, int node);

// On every downward path from node `node`, finds the first node whose
// record has support >= minSup, puts it at the head of that record's
// occurrence chain and does not look below it. Visits in pre-order,
// children in ascending edgeId, so the node linked last heads its chain.
// Returns 0.
int linkOccurrences(EdgeInfo* projected, int base, PrefixTree& tree, int node);

}  // namespace tavrel
