#include "show/value_ranges.h"

#include <algorithm>

namespace tavrel::tools {

namespace {

// The starts of the ranges that cover [low, high], in ascending order,
// the first at or below `low`; a range ends before the next one starts.
using RangeStarts = std::vector<long long>;

// Multiples of the smallest width of 1, 2 or 5 times a power of ten that
// covers [low, high] in at most kMaxRanges ranges.
RangeStarts linearStarts(long long low, long long high) {
  for (long long power = 1;; power *= 10) {
    for (long long factor : {1, 2, 5}) {
      long long width = factor * power;
      if (high / width - low / width + 1 > static_cast<long long>(kMaxRanges)) continue;
      RangeStarts starts;
      for (long long start = low / width * width; start <= high; start += width) {
        starts.push_back(start);
      }
      return starts;
    }
  }
}

// `low`, then `factors` times each power of ten above it.
RangeStarts logarithmicStarts(long long low, long long high,
                              const std::vector<long long>& factors) {
  RangeStarts starts{low};
  for (long long power = 1; power <= high; power *= 10) {
    for (long long factor : factors) {
      long long start = factor * power;
      if (start > low && start <= high) starts.push_back(start);
    }
  }
  return starts;
}

RangeStarts rangeStarts(long long low, long long high) {
  if (high < 10 * low) return linearStarts(low, high);
  RangeStarts starts = logarithmicStarts(low, high, {1, 2, 5});
  return starts.size() <= kMaxRanges ? starts : logarithmicStarts(low, high, {1});
}

}  // namespace

std::vector<ValueRange> groupIntoRanges(const std::map<int, long>& counts) {
  std::vector<ValueRange> ranges;
  if (counts.size() <= kMaxRanges) {
    for (const auto& [value, count] : counts) ranges.push_back({value, value, count});
    return ranges;
  }
  long long low = counts.begin()->first, high = counts.rbegin()->first;
  RangeStarts starts = rangeStarts(low, high);
  std::size_t next = 0;  // the range that the next value may fall into
  for (const auto& [value, count] : counts) {
    while (next + 1 < starts.size() && starts[next + 1] <= value) ++next;
    long long end = next + 1 < starts.size() ? starts[next + 1] - 1 : high;
    if (ranges.empty() || ranges.back().high < value) {  // the value opens a new range
      ranges.push_back({static_cast<int>(std::max(starts[next], low)),
                        static_cast<int>(std::min(end, high)), 0});
    }
    ranges.back().count += count;
  }
  return ranges;
}

}  // namespace tavrel::tools
