// Choosing the patterns to show as they stream in: by number, by support
// and by number of edges (as the miner wrote them), then the k with the
// highest support, kept in a heap of k patterns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/result.h"
#include "show/pattern.h"

namespace tavrel::tools {

struct Selection {
  std::vector<int> numbers;  // pattern numbers to show; empty: all
  int minSupport = 0;
  int minEdges = 0;
  int maxEdges = -1;  // -1: no bound
  int top = -1;       // -1: no bound
};

// Sorts the requested numbers and removes repeats, so that passesFilters()
// can look them up.
void prepareSelection(Selection* selection);

// True when `pattern` passes every filter of the (prepared) selection;
// the top k are chosen afterwards.
bool passesFilters(const Selection& selection, const Pattern& pattern);

// Checks that the output held every requested pattern number; fails with
// a message when one is missing.
Result checkRequestedNumbers(const Selection& selection, std::int64_t patternsRead);

// True when `a` ranks before `b`: higher support, or equal support and a
// lower number.
bool ranksBefore(const Pattern& a, const Pattern& b);

// The `limit` best-ranked patterns of those offered.
struct TopPatterns {
  std::size_t limit = 0;
  std::vector<Pattern> heap;  // the worst pattern kept at the front
};

// Keeps `pattern` when fewer than `limit` are kept or it ranks before the
// worst of them, which then goes.
void offerPattern(TopPatterns* top, Pattern pattern);

// The kept patterns in ranking order; the heap is emptied.
std::vector<Pattern> takeRanking(TopPatterns* top);

}  // namespace tavrel::tools
