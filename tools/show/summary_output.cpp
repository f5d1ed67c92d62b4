#include "show/summary_output.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "show/hasse.h"
#include "show/share_text.h"
#include "show/text_escape.h"
#include "show/value_ranges.h"

namespace tavrel::tools {

namespace {

constexpr std::size_t kItemsShown = 10;

std::string patternCount(long count) {
  return std::to_string(count) + (count == 1 ? " pattern" : " patterns");
}

// The number of strings of the database, or 0 when it is not known.
long long stringsOf(const ItemTable* table) {
  return table != nullptr && table->fingerprint ? table->fingerprint->strings : 0;
}

// "990-999", or "40" for a single value.
std::string rangeText(const ValueRange& range) {
  std::string text = std::to_string(range.low);
  if (range.high != range.low) text.append(1, '-').append(std::to_string(range.high));
  return text;
}

// A support, or a range of them, followed by its share when known.
std::string supportText(const ValueRange& range, long long strings) {
  std::string text = rangeText(range);
  if (strings <= 0) return text;
  std::string share = shareText(range.low, strings);
  if (range.high != range.low) share.append(1, '-').append(shareText(range.high, strings));
  return text.append(" (").append(share).append(")");
}

void addSupports(std::string* text, const std::map<int, long>& bySupport, long long strings) {
  text->append("Patterns by support:\n");
  std::vector<ValueRange> ranges = groupIntoRanges(bySupport);
  for (auto range = ranges.rbegin(); range != ranges.rend(); ++range) {
    text->append("  " + supportText(*range, strings) + ": " + patternCount(range->count) + "\n");
  }
}

void addSizes(std::string* text, const std::map<int, long>& bySize) {
  text->append("Patterns by number of edges:\n");
  for (const ValueRange& range : groupIntoRanges(bySize)) {
    text->append("  " + rangeText(range) + ": " + patternCount(range.count) + "\n");
  }
}

void addTopItems(std::string* text, const std::map<int, long>& patternsHolding,
                 const ItemTable* table) {
  std::vector<std::pair<int, long>> ranked(patternsHolding.begin(), patternsHolding.end());
  std::stable_sort(ranked.begin(), ranked.end(),
                   [](const auto& a, const auto& b) { return a.second > b.second; });
  if (ranked.size() > kItemsShown) ranked.resize(kItemsShown);
  text->append("Items in the most patterns:\n");
  for (const auto& [item, count] : ranked) {
    std::string name = std::to_string(item);
    if (table != nullptr) name += " (" + terminalText(labelOrNumber(table, item)) + ")";
    text->append("  " + name + ": " + patternCount(count) + "\n");
  }
}

}  // namespace

void countPattern(SummaryCounts* counts, const Pattern& pattern) {
  ++counts->patterns;
  ++counts->bySupport[pattern.support];
  ++counts->bySize[static_cast<int>(pattern.edges.size())];
  std::vector<int> items = itemsOf(pattern.edges);
  for (int item : items) ++counts->patternsHolding[item];
}

std::string summaryText(const SummaryCounts& counts, long total, const ItemTable* table) {
  std::string text;
  text.append("Patterns: " + std::to_string(counts.patterns) + " of " + std::to_string(total) +
              "\n");
  long long strings = stringsOf(table);
  if (strings > 0) {
    char crc[9];
    std::snprintf(crc, sizeof crc, "%08x", static_cast<unsigned>(table->fingerprint->crc32));
    text.append("Database: " + std::to_string(strings) + " string" + (strings == 1 ? "" : "s") +
                " (crc32 " + crc + ")\n");
  }
  if (counts.patterns == 0) return text;
  int minSupport = counts.bySupport.begin()->first, maxSupport = counts.bySupport.rbegin()->first;
  text.append("Support: min " + supportText({minSupport, minSupport, 0}, strings) + ", max " +
              supportText({maxSupport, maxSupport, 0}, strings) + "\n");
  text.append("Edges: min " + std::to_string(counts.bySize.begin()->first) + ", max " +
              std::to_string(counts.bySize.rbegin()->first) + "\n");
  addSupports(&text, counts.bySupport, strings);
  addSizes(&text, counts.bySize);
  addTopItems(&text, counts.patternsHolding, table);
  return text;
}

}  // namespace tavrel::tools
