// A slow, obviously correct enumerator of closed patterns, written from the
// definitions alone, against which the miner is checked on small databases.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <utility>
#include <vector>

namespace tavrel::testing {

using Edge = std::pair<int, int>;  // (from item, to item)
using EdgeSet = std::set<Edge>;

struct ClosedPattern {
  EdgeSet edges;
  int support = 0;
  bool operator<(const ClosedPattern& other) const {
    return std::tie(edges, support) < std::tie(other.edges, other.support);
  }
  bool operator==(const ClosedPattern& other) const {
    return edges == other.edges && support == other.support;
  }
};

struct BruteForceResult {
  std::map<Edge, int> edgeSupport;      // every frequent edge and its support
  std::vector<ClosedPattern> patterns;  // sorted
};

// The closed patterns of `strings` (each a list of distinct items) with the
// given minimum support:
// - an item is frequent when it occurs in at least minSup strings;
// - (a, b) is an edge when a stands before b in at least minSup strings and
//   no frequent item lies between them in every one of those strings;
// - a string holds an edge when a stands anywhere before b in it;
// - a closed pattern is a non-empty intersection of the edge sets of some
//   strings, with the number of strings that hold all of it (at least
//   minSup) as its support.
BruteForceResult bruteForceClosedPatterns(const std::vector<std::vector<int>>& strings, int minSup);

// A pattern as a run writes it: its edges in the order written, and its
// support.
using OrderedPattern = std::pair<std::vector<Edge>, int>;

// Conditions on the patterns written, as the miner's options give them
// (0 and empty: no condition).
struct Conditions {
  bool maximal = false;
  int minEdges = 0;
  int maxEdges = 0;
  std::vector<int> items;
  std::int64_t top = 0;
};

// The patterns of `ordered` (a run's closed patterns in the run's order)
// that pass every condition, in the same order:
// - maximal: no edge set of `all` (every closed pattern of the run)
//   strictly contains the pattern's edges;
// - the number of edges lies in [minEdges, maxEdges];
// - every item of `items` is the from or to item of some edge;
// - of the patterns that pass those, the `top` of highest support, ties to
//   the earlier in `ordered`.
std::vector<OrderedPattern> applyConditions(const std::vector<OrderedPattern>& ordered,
                                            const std::vector<EdgeSet>& all,
                                            const Conditions& conditions);

}  // namespace tavrel::testing
