#include "show/hasse.h"

#include <algorithm>
#include <cstddef>

namespace tavrel::tools {

std::vector<int> itemsOf(const std::vector<Edge>& edges) {
  std::vector<int> items;
  for (const Edge& edge : edges) {
    items.push_back(edge.from);
    items.push_back(edge.to);
  }
  std::sort(items.begin(), items.end());
  items.erase(std::unique(items.begin(), items.end()), items.end());
  return items;
}

int transitiveReduction(const std::vector<Edge>& edges, std::vector<Edge>* reduced) {
  *reduced = edges;
  // Nodes are the items, renumbered 0..n-1.
  std::vector<int> items = itemsOf(edges);
  std::size_t n = items.size();
  auto node = [&](int item) {
    return static_cast<std::size_t>(std::lower_bound(items.begin(), items.end(), item) -
                                    items.begin());
  };
  std::vector<std::vector<std::size_t>> next(n);
  std::vector<std::size_t> incoming(n, 0);
  for (const Edge& edge : edges) {
    next[node(edge.from)].push_back(node(edge.to));
    ++incoming[node(edge.to)];
  }
  // A topological order (Kahn); when it misses a node, there is a cycle.
  std::vector<std::size_t> order;
  for (std::size_t v = 0; v < n; ++v) {
    if (incoming[v] == 0) order.push_back(v);
  }
  for (std::size_t k = 0; k < order.size(); ++k) {
    for (std::size_t w : next[order[k]]) {
      if (--incoming[w] == 0) order.push_back(w);
    }
  }
  if (order.size() < n) return -1;
  // below[v][w]: w can be reached from v by a path of one or more edges.
  std::vector<std::vector<bool>> below(n, std::vector<bool>(n, false));
  for (std::size_t k = n; k-- > 0;) {
    std::size_t v = order[k];
    for (std::size_t w : next[v]) {
      below[v][w] = true;
      for (std::size_t x = 0; x < n; ++x) {
        if (below[w][x]) below[v][x] = true;
      }
    }
  }
  // v->w is implied when some other successor u of v reaches w.
  reduced->clear();
  for (const Edge& edge : edges) {
    std::size_t v = node(edge.from), w = node(edge.to);
    bool implied = false;
    for (std::size_t u : next[v]) {
      if (u != w && below[u][w]) implied = true;
    }
    if (!implied) reduced->push_back(edge);
  }
  return 0;
}

}  // namespace tavrel::tools
