// Grouping a distribution into a few ranges for the summary: when the
// values are many (a summary of a large output may see a thousand
// supports), one line per value is no summary. Values within one order of
// magnitude go into ranges of a round width (1, 2 or 5 times a power of
// ten) aligned to it; values that span more, as supports do with most
// patterns near the minimum, go into ranges that grow with the values,
// starting at 1, 2 and 5 times each power of ten (or at the powers of ten
// alone when that still gives too many). Ranges are clipped to the values
// seen, and ranges without a value are left out.
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

// The counts by value of `counts` (values of 1 or more) in ascending
// ranges: one per value when there are at most kMaxRanges values, and
// otherwise at most kMaxRanges ranges as described above.
std::vector<ValueRange> groupIntoRanges(const std::map<int, long>& counts);

}  // namespace tavrel::tools
