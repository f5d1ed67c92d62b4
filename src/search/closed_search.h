// The depth-first search for closed patterns over the edge prefix tree.
#pragma once

#include "state/records.h"

namespace tavrel {

// Writes (through reportPattern) every closed pattern that extends `prefix`
// (prefixLength ascending edgeIds, support parentSupport) with edges whose
// records are in `projected` (record k is edge base + k, up to the last
// edge; supports and occurrence chains relative to the prefix). The driver
// calls it once with (edgeTable, 0, stringCount, nullptr, 0). Patterns come
// in depth-first pre-order, the extensions of one pattern in ascending
// edgeId. The search changes only absorbed flags and occurrence chains of
// the arrays and nextOccurrence links of the tree. The depth of the search
// is bounded by memory only, not by the call stack. Returns 0, or -1 when
// the output failed or memory ran out (reported).
int searchClosed(EdgeInfo* projected, int base, int parentSupport, const int* prefix,
                 int prefixLength);

}  // namespace tavrel
