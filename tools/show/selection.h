// Choosing the patterns to show: by number, by support and by number of
// edges (as the miner wrote them), then the k with the highest support.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "show/miner_output.h"

namespace tavrel::tools {

struct Selection {
  std::vector<int> numbers;  // pattern numbers to show; empty: all
  int minSupport = 0;
  int minEdges = 0;
  int maxEdges = -1;  // -1: no bound
  int top = -1;       // -1: no bound
};

// Puts the indices of the chosen patterns into `chosen`: those that pass
// every filter, in pattern-number order. With a top k, only the k of
// highest support are kept, in order of descending support and, for equal
// support, ascending pattern number. Returns 0, or -1 with a message in
// `error` when a requested pattern number is not in the output.
int selectPatterns(const std::vector<Pattern>& patterns, const Selection& selection,
                   std::vector<std::size_t>* chosen, std::string* error);

}  // namespace tavrel::tools
