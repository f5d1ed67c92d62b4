// A run's patterns as the search tests read and expect them: the patterns
// of a run's output text, the order the literal search gives them, and the
// text of a run that writes a given list.
#pragma once

#include <string>
#include <vector>

#include "search/brute_force.h"

namespace tavrel::testing {

// Reads a complete run's output into its patterns, each with its edges in
// the order written. The output's reader checks the framing: consecutive
// numbers, the edge lines, no edge twice, the final count.
std::vector<ClosedPattern> parsePatterns(const std::string& output,
                                         std::vector<std::vector<Edge>>* edgeOrder);

// The patterns of the literal search over the strings' edge transactions,
// as edge lists in edge order, with their supports: the miner's output
// must hold exactly these, in this order. Edges are numbered by
// descending support, ties by ascending pairCode (items below 10).
std::vector<OrderedPattern> literalOrder(const std::vector<std::vector<int>>& strings,
                                         const BruteForceResult& expected, int stringCount,
                                         int minSup);

// The output of a complete run that writes `patterns` in this order,
// numbered from 1, its run time shown as normalizeRuntime() shows it.
std::string outputText(const std::vector<OrderedPattern>& patterns);

}  // namespace tavrel::testing
