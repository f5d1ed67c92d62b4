// A short text summary of the chosen patterns:
//   Patterns: 4 of 4
//   Support: min 2, max 3
//   Edges: min 1, max 3
//   Patterns by support:
//     3: 2 patterns
//   Patterns by number of edges:
//     1: 2 patterns
//   Items in the most patterns:
//     4 (Ship): 4 patterns
// Supports are listed from the highest, numbers of edges from the lowest.
// The items are the ten held by the most patterns, ties by ascending item
// number; an item's label follows its number when an item table is given.
#pragma once

#include <cstddef>
#include <vector>

#include "common/item_table.h"
#include "common/output_sink.h"
#include "show/miner_output.h"

namespace tavrel::tools {

// Writes the summary of `chosen` (indices into `patterns`). With no
// pattern chosen only the first line is written.
void putSummary(OutputSink* sink, const std::vector<Pattern>& patterns,
                const std::vector<std::size_t>& chosen, const ItemTable* table);

}  // namespace tavrel::tools
