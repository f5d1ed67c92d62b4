#include "show/selection.h"

#include <algorithm>

namespace tavrel::tools {

int selectPatterns(const std::vector<Pattern>& patterns, const Selection& selection,
                   std::vector<std::size_t>* chosen, std::string* error) {
  // Patterns are numbered 1, 2, 3... in order, so number n sits at index n-1.
  std::vector<bool> wanted(patterns.size(), selection.numbers.empty());
  for (int number : selection.numbers) {
    if (number < 1 || static_cast<std::size_t>(number) > patterns.size()) {
      *error = "there is no pattern " + std::to_string(number) + " (the output holds " +
               std::to_string(patterns.size()) + ")";
      return -1;
    }
    wanted[static_cast<std::size_t>(number - 1)] = true;
  }
  chosen->clear();
  for (std::size_t i = 0; i < patterns.size(); ++i) {
    const Pattern& pattern = patterns[i];
    int size = static_cast<int>(pattern.edges.size());
    if (wanted[i] && pattern.support >= selection.minSupport && size >= selection.minEdges &&
        (selection.maxEdges < 0 || size <= selection.maxEdges)) {
      chosen->push_back(i);
    }
  }
  if (selection.top >= 0) {
    std::stable_sort(chosen->begin(), chosen->end(), [&](std::size_t a, std::size_t b) {
      return patterns[a].support > patterns[b].support;
    });
    if (chosen->size() > static_cast<std::size_t>(selection.top)) {
      chosen->resize(static_cast<std::size_t>(selection.top));
    }
  }
  return 0;
}

}  // namespace tavrel::tools
