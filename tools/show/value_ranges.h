// Grouping a distribution into a few ranges for the summary: when the
// values are many (a summary of a large output may see a thousand
// supports), one line per value is no summary. Ranges are of a round width
// (1, 2 or 5 times a power of ten) and aligned to it, clipped to the
// values seen; ranges without a value are left out.
#pragma once

#include <cstddef>
#include <map>
#include <vector>

namespace tavrel::tools {

// At most this many ranges are formed.
constexpr std::size_t kMaxRanges = 15;

struct ValueRange {
  int low = 0;
  int high = 0;  // equal to low for a single value
  long count = 0;
};

// The counts by value of `counts` (values of 0 or more) in ascending
// ranges: one per value when there are at most kMaxRanges values, and
// otherwise the ranges of the smallest round width that gives at most
// kMaxRanges of them.
std::vector<ValueRange> groupIntoRanges(const std::map<int, long>& counts);

}  // namespace tavrel::tools
