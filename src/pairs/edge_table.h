// The frequent edges: the pairs that pass the frequent edge test, numbered
// by descending support, ties by ascending pairCode.
#pragma once

#include "state/run_state.h"

namespace tavrel {

// Sets edgeCount, creates edgeTable (record e describes edge e: its pairCode
// and support) and fills edgeIndex with pairCode -> edgeId for every
// frequent edge and nothing else. Returns 0, or -1 after reporting a lack
// of memory.
int buildEdgeTable(RunState& run);

}  // namespace tavrel
