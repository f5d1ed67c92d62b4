#include "search/literal_search.h"

#include <algorithm>

namespace tavrel::testing {

namespace {

struct Search {
  const std::vector<std::vector<int>>& strings;
  int edgeCount;
  int minSup;
  std::vector<LiteralPattern> found;

  bool holds(int string, int edge) const {
    const auto& s = strings[string];
    return std::binary_search(s.begin(), s.end(), edge);
  }

  // Writes `pattern` (support `support`, held by the strings `holders`,
  // last extension edge `core`) and extends it.
  void extend(const std::vector<int>& pattern, int support, const std::vector<int>& holders,
              int core) {
    if (!pattern.empty()) found.push_back({pattern, support});
    for (int e = core + 1; e < edgeCount; ++e) {
      if (std::binary_search(pattern.begin(), pattern.end(), e)) continue;
      std::vector<int> next;
      for (int s : holders) {
        if (holds(s, e)) next.push_back(s);
      }
      if (static_cast<int>(next.size()) < minSup) continue;
      std::vector<int> closure;
      for (int m = 0; m < edgeCount; ++m) {
        bool all = true;
        for (int s : next) all = all && holds(s, m);
        if (all) closure.push_back(m);
      }
      bool keepsPrefix = true;
      for (int m : closure) {
        if (m < e && !std::binary_search(pattern.begin(), pattern.end(), m)) keepsPrefix = false;
      }
      if (keepsPrefix) extend(closure, static_cast<int>(next.size()), next, e);
    }
  }
};

}  // namespace

std::vector<LiteralPattern> literalClosedPatterns(const std::vector<std::vector<int>>& strings,
                                                  int edgeCount, int rootSupport, int minSup) {
  Search search{strings, edgeCount, minSup, {}};
  std::vector<int> everyone;
  for (int s = 0; s < static_cast<int>(strings.size()); ++s) everyone.push_back(s);
  std::vector<int> top;
  if (static_cast<int>(strings.size()) == rootSupport) {
    for (int m = 0; m < edgeCount; ++m) {
      bool all = true;
      for (int s : everyone) all = all && search.holds(s, m);
      if (all) top.push_back(m);
    }
  }
  search.extend(top, rootSupport, everyone, -1);
  return search.found;
}

std::vector<LiteralPattern> maximalOf(const std::vector<LiteralPattern>& patterns) {
  std::vector<LiteralPattern> maximal;
  for (const LiteralPattern& pattern : patterns) {
    bool contained = std::any_of(patterns.begin(), patterns.end(), [&](const LiteralPattern& o) {
      return o.edges.size() > pattern.edges.size() &&
             std::includes(o.edges.begin(), o.edges.end(), pattern.edges.begin(),
                           pattern.edges.end());
    });
    if (!contained) maximal.push_back(pattern);
  }
  return maximal;
}

}  // namespace tavrel::testing
