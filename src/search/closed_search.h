// The depth-first search for closed patterns over the edge prefix tree.
#pragma once

#include "state/records.h"

namespace tavrel {

// Writes (through reportPattern) every closed pattern of the strings in
// edgeTree whose edges, beyond `prefix` (prefixLength ascending edgeIds,
// support parentSupport), have records in `projected` (record k is edge
// base + k, up to the last edge; supports counted in all strings). A
// closed pattern is written once, with the edges that every one of its
// strings holds, ascending, and the number of those strings. The driver
// calls it once with (edgeTable, 0, stringCount, nullptr, 0); then the
// first pattern, when there is one, is the set of edges of every string.
// Patterns come in depth-first pre-order, the extensions of one pattern in
// ascending edgeId, each written before those found below it. The search
// changes only the absorbed flags and the occurrence fields of the records
// of `projected`; its depth is bounded by memory only, not by the call
// stack. Returns 0, or -1 when the output failed or memory ran out
// (reported).
int searchClosed(EdgeInfo* projected, int base, int parentSupport, const int* prefix,
                 int prefixLength);

}  // namespace tavrel
