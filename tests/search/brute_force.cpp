#include "search/brute_force.h"

#include <algorithm>

namespace tavrel::testing {

BruteForceResult bruteForceClosedPatterns(const std::vector<std::vector<int>>& strings,
                                          int minSup) {
  std::map<int, int> occurrences;
  for (const auto& string : strings) {
    for (int item : string) ++occurrences[item];
  }
  auto frequent = [&](int item) { return occurrences[item] >= minSup; };

  // Strings without their infrequent items.
  std::vector<std::vector<int>> lists;
  for (const auto& string : strings) {
    std::vector<int> list;
    for (int item : string) {
      if (frequent(item)) list.push_back(item);
    }
    lists.push_back(list);
  }

  // For every ordered pair that meets: its support, and the items that lie
  // between its two items in every string where it meets.
  std::map<Edge, int> pairSupport;
  std::map<Edge, std::set<int>> alwaysBetween;
  for (const auto& list : lists) {
    for (std::size_t i = 0; i < list.size(); ++i) {
      for (std::size_t j = i + 1; j < list.size(); ++j) {
        Edge pair{list[i], list[j]};
        std::set<int> window(list.begin() + i + 1, list.begin() + j);
        if (pairSupport[pair]++ == 0) {
          alwaysBetween[pair] = window;
        } else {
          std::set<int> kept;
          std::set_intersection(alwaysBetween[pair].begin(), alwaysBetween[pair].end(),
                                window.begin(), window.end(), std::inserter(kept, kept.end()));
          alwaysBetween[pair] = kept;
        }
      }
    }
  }
  BruteForceResult result;
  for (const auto& [pair, support] : pairSupport) {
    if (support >= minSup && alwaysBetween[pair].empty()) result.edgeSupport[pair] = support;
  }

  // Each string's edge set.
  std::vector<EdgeSet> edgeSets;
  for (const auto& list : lists) {
    EdgeSet edges;
    for (std::size_t i = 0; i < list.size(); ++i) {
      for (std::size_t j = i + 1; j < list.size(); ++j) {
        if (result.edgeSupport.count({list[i], list[j]})) edges.insert({list[i], list[j]});
      }
    }
    edgeSets.push_back(edges);
  }

  // All intersections of groups of strings: close the set of edge sets
  // under pairwise intersection.
  std::set<EdgeSet> intersections(edgeSets.begin(), edgeSets.end());
  for (bool grew = true; grew;) {
    grew = false;
    std::vector<EdgeSet> known(intersections.begin(), intersections.end());
    for (std::size_t p = 0; p < known.size(); ++p) {
      for (std::size_t q = p + 1; q < known.size(); ++q) {
        EdgeSet both;
        std::set_intersection(known[p].begin(), known[p].end(), known[q].begin(), known[q].end(),
                              std::inserter(both, both.end()));
        if (intersections.insert(both).second) grew = true;
      }
    }
  }
  for (const EdgeSet& candidate : intersections) {
    if (candidate.empty()) continue;
    int support = 0;
    for (const EdgeSet& edges : edgeSets) {
      if (std::includes(edges.begin(), edges.end(), candidate.begin(), candidate.end())) ++support;
    }
    if (support >= minSup) result.patterns.push_back({candidate, support});
  }
  std::sort(result.patterns.begin(), result.patterns.end());
  return result;
}

namespace {

// True when every one of `items` is an item of some edge of `edges`.
bool involvesAll(const std::vector<Edge>& edges, const std::vector<int>& items) {
  for (int item : items) {
    bool involved = false;
    for (const Edge& edge : edges) involved = involved || edge.first == item || edge.second == item;
    if (!involved) return false;
  }
  return true;
}

// True when no set of `all` strictly contains `edges`.
bool isMaximal(const std::vector<Edge>& edges, const std::vector<EdgeSet>& all) {
  EdgeSet own(edges.begin(), edges.end());
  for (const EdgeSet& other : all) {
    if (other.size() > own.size() &&
        std::includes(other.begin(), other.end(), own.begin(), own.end()))
      return false;
  }
  return true;
}

}  // namespace

std::vector<OrderedPattern> applyConditions(const std::vector<OrderedPattern>& ordered,
                                            const std::vector<EdgeSet>& all,
                                            const Conditions& conditions) {
  std::vector<std::size_t> passing;
  for (std::size_t k = 0; k < ordered.size(); ++k) {
    const std::vector<Edge>& edges = ordered[k].first;
    int count = static_cast<int>(edges.size());
    if (conditions.minEdges > 0 && count < conditions.minEdges) continue;
    if (conditions.maxEdges > 0 && count > conditions.maxEdges) continue;
    if (!involvesAll(edges, conditions.items)) continue;
    if (conditions.maximal && !isMaximal(edges, all)) continue;
    passing.push_back(k);
  }
  if (conditions.top > 0 && static_cast<std::int64_t>(passing.size()) > conditions.top) {
    std::stable_sort(passing.begin(), passing.end(), [&ordered](std::size_t a, std::size_t b) {
      return ordered[a].second > ordered[b].second;
    });
    passing.resize(static_cast<std::size_t>(conditions.top));
    std::sort(passing.begin(), passing.end());
  }
  std::vector<OrderedPattern> kept;
  for (std::size_t k : passing) kept.push_back(ordered[k]);
  return kept;
}

}  // namespace tavrel::testing
