// A short text summary of the chosen patterns, counted as they stream in:
//   Patterns: 4 of 4
//   Database: 40 strings (crc32 d5e5553e)
//   Support: min 2 (5.0%), max 3 (7.5%)
//   Edges: min 1, max 3
//   Patterns by support:
//     3 (7.5%): 2 patterns
//   Patterns by number of edges:
//     1: 2 patterns
//   Items in the most patterns:
//     4 (Ship): 4 patterns
// The database line and the shares of the strings appear when the item
// table holds the database's fingerprint. Supports are listed from the
// highest, numbers of edges from the lowest; when there are more than 15
// values, they are grouped into ranges ("990-999"). The items are the ten
// held by the most patterns, ties by ascending item number; an item's label
// follows its number when an item table is given.
#pragma once

#include <map>
#include <string>

#include "common/item_table.h"
#include "show/pattern.h"

namespace tavrel::tools {

struct SummaryCounts {
  long patterns = 0;                    // chosen so far
  std::map<int, long> bySupport;        // support -> patterns
  std::map<int, long> bySize;           // number of edges -> patterns
  std::map<int, long> patternsHolding;  // item -> patterns that hold it
};

// Counts one chosen pattern.
void countPattern(SummaryCounts* counts, const Pattern& pattern);

// The summary of the counted patterns, of `total` in the output. With no
// pattern chosen it holds only the first line (and the database's).
std::string summaryText(const SummaryCounts& counts, long total, const ItemTable* table);

}  // namespace tavrel::tools
