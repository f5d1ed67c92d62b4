#include "show/selection.h"

#include <algorithm>

namespace tavrel::tools {

void prepareSelection(Selection* selection) {
  std::vector<int>& numbers = selection->numbers;
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
}

bool passesFilters(const Selection& selection, const Pattern& pattern) {
  int size = static_cast<int>(pattern.edges.size());
  return (selection.numbers.empty() ||
          std::binary_search(selection.numbers.begin(), selection.numbers.end(), pattern.number)) &&
         pattern.support >= selection.minSupport && size >= selection.minEdges &&
         (selection.maxEdges < 0 || size <= selection.maxEdges);
}

Result checkRequestedNumbers(const Selection& selection, std::int64_t patternsRead) {
  for (int number : selection.numbers) {
    if (number < 1 || number > patternsRead) {
      return Result::failure("there is no pattern " + std::to_string(number) +
                             " (the output holds " + std::to_string(patternsRead) + ")");
    }
  }
  return Result();
}

bool ranksBefore(const Pattern& a, const Pattern& b) {
  return a.support != b.support ? a.support > b.support : a.number < b.number;
}

void offerPattern(TopPatterns* top, Pattern pattern) {
  // With ranksBefore as the heap's "less", the front is the worst-ranked.
  std::vector<Pattern>& heap = top->heap;
  if (heap.size() < top->limit) {
    heap.push_back(std::move(pattern));
    std::push_heap(heap.begin(), heap.end(), ranksBefore);
  } else if (!heap.empty() && ranksBefore(pattern, heap.front())) {
    std::pop_heap(heap.begin(), heap.end(), ranksBefore);
    heap.back() = std::move(pattern);
    std::push_heap(heap.begin(), heap.end(), ranksBefore);
  }
}

std::vector<Pattern> takeRanking(TopPatterns* top) {
  std::vector<Pattern> ranking = std::move(top->heap);
  top->heap.clear();
  std::sort(ranking.begin(), ranking.end(), ranksBefore);
  return ranking;
}

}  // namespace tavrel::tools
