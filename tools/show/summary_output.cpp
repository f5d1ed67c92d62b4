#include "show/summary_output.h"

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <utility>

namespace tavrel::tools {

namespace {

constexpr std::size_t kItemsShown = 10;

std::string patternCount(long count) {
  return std::to_string(count) + (count == 1 ? " pattern" : " patterns");
}

template <typename Compare>
void putDistribution(OutputSink* sink, const char* title,
                     const std::map<int, long, Compare>& counts) {
  sinkPut(sink, title);
  for (const auto& [value, count] : counts) {
    sinkPut(sink, "  " + std::to_string(value) + ": " + patternCount(count) + "\n");
  }
}

}  // namespace

void putSummary(OutputSink* sink, const std::vector<Pattern>& patterns,
                const std::vector<std::size_t>& chosen, const ItemTable* table) {
  sinkPut(sink, "Patterns: " + std::to_string(chosen.size()) + " of " +
                    std::to_string(patterns.size()) + "\n");
  if (chosen.empty()) return;
  std::map<int, long, std::greater<int>> bySupport;
  std::map<int, long, std::less<int>> bySize;
  std::map<int, long> patternsHolding;  // item -> chosen patterns that hold it
  for (std::size_t index : chosen) {
    const Pattern& pattern = patterns[index];
    ++bySupport[pattern.support];
    ++bySize[static_cast<int>(pattern.edges.size())];
    std::vector<int> items;
    for (const Edge& edge : pattern.edges) {
      items.push_back(edge.from);
      items.push_back(edge.to);
    }
    std::sort(items.begin(), items.end());
    items.erase(std::unique(items.begin(), items.end()), items.end());
    for (int item : items) ++patternsHolding[item];
  }
  sinkPut(sink, "Support: min " + std::to_string(bySupport.rbegin()->first) + ", max " +
                    std::to_string(bySupport.begin()->first) + "\n");
  sinkPut(sink, "Edges: min " + std::to_string(bySize.begin()->first) + ", max " +
                    std::to_string(bySize.rbegin()->first) + "\n");
  putDistribution(sink, "Patterns by support:\n", bySupport);
  putDistribution(sink, "Patterns by number of edges:\n", bySize);

  std::vector<std::pair<int, long>> ranked(patternsHolding.begin(), patternsHolding.end());
  std::stable_sort(ranked.begin(), ranked.end(),
                   [](const auto& a, const auto& b) { return a.second > b.second; });
  if (ranked.size() > kItemsShown) ranked.resize(kItemsShown);
  sinkPut(sink, "Items in the most patterns:\n");
  for (const auto& [item, count] : ranked) {
    std::string name = std::to_string(item);
    if (table != nullptr) name += " (" + escapeLabel(labelOrNumber(table, item)) + ")";
    sinkPut(sink, "  " + name + ": " + patternCount(count) + "\n");
  }
}

}  // namespace tavrel::tools
