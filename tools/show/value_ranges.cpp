#include "show/value_ranges.h"

#include <algorithm>

namespace tavrel::tools {

namespace {

// The smallest width of 1, 2 or 5 times a power of ten whose aligned
// ranges cover [low, high] in at most kMaxRanges ranges.
long long roundWidth(long long low, long long high) {
  for (long long power = 1;; power *= 10) {
    for (long long factor : {1, 2, 5}) {
      long long width = factor * power;
      if (high / width - low / width + 1 <= static_cast<long long>(kMaxRanges)) return width;
    }
  }
}

}  // namespace

std::vector<ValueRange> groupIntoRanges(const std::map<int, long>& counts) {
  std::vector<ValueRange> ranges;
  if (counts.size() <= kMaxRanges) {
    for (const auto& [value, count] : counts) ranges.push_back({value, value, count});
    return ranges;
  }
  long long low = counts.begin()->first, high = counts.rbegin()->first;
  long long width = roundWidth(low, high);
  for (const auto& [value, count] : counts) {
    long long start = value / width * width;
    if (ranges.empty() || ranges.back().high < start) {  // the value opens a new range
      ranges.push_back({static_cast<int>(std::max(start, low)),
                        static_cast<int>(std::min(start + width - 1, high)), 0});
    }
    ranges.back().count += count;
  }
  return ranges;
}

}  // namespace tavrel::tools
