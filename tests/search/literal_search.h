// The closed pattern search done literally, for the tests: each pattern is
// extended edge by edge in ascending edgeId over the whole set of strings,
// and an extension is kept when the edges that all of its strings hold
// include no earlier edge outside the pattern. Slow and plain, against
// which the miner's search and the order of its output are checked.
#pragma once

#include <ostream>
#include <vector>

namespace tavrel::testing {

struct LiteralPattern {
  std::vector<int> edges;  // ascending edgeIds
  int support = 0;
  bool operator==(const LiteralPattern& other) const {
    return edges == other.edges && support == other.support;
  }
};

// Shows a pattern in test failures as "{edges} support".
inline void PrintTo(const LiteralPattern& pattern, std::ostream* out) {
  *out << "{";
  for (int edge : pattern.edges) *out << " " << edge;
  *out << " } " << pattern.support;
}

// The closed patterns of `strings` (each its edge transaction: ascending
// edgeIds below edgeCount) in the order of the literal search. The empty
// pattern's support is rootSupport, which may exceed the number of strings.
std::vector<LiteralPattern> literalClosedPatterns(const std::vector<std::vector<int>>& strings,
                                                  int edgeCount, int rootSupport, int minSup);

// The patterns that no other of `patterns` strictly contains, in order.
std::vector<LiteralPattern> maximalOf(const std::vector<LiteralPattern>& patterns);

}  // namespace tavrel::testing
