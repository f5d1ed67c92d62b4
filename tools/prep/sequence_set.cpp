#include "prep/sequence_set.h"

#include <utility>

namespace tavrel::tools {

int internLabel(SequenceSet* set, std::string_view label) {
  auto [entry, added] =
      set->index.try_emplace(std::string(label), static_cast<int>(set->labels.size()));
  if (added) {
    set->labels.emplace_back(label);
    set->sortValue.push_back(0);
    set->occurrence.push_back(1);
  }
  return entry->second;
}

void closeSequence(SequenceSet* set, long line) {
  if (set->keys.size() == set->starts.back()) {
    ++set->emptyDropped;
    return;
  }
  set->starts.push_back(set->keys.size());
  set->sequenceLines.push_back(line);
}

void groupEvents(EventList* events, SequenceSet* set) {
  std::size_t caseCount = events->caseNames.size();
  // A counting sort by case, stable, so each case keeps its file order.
  std::vector<std::size_t> starts(caseCount + 1, 0);
  for (int c : events->cases) ++starts[static_cast<std::size_t>(c) + 1];
  for (std::size_t c = 0; c < caseCount; ++c) starts[c + 1] += starts[c];
  std::vector<std::size_t> next(starts.begin(), starts.end() - 1);
  std::vector<int> keys(events->keys.size());
  std::vector<long> lines(events->keys.size());
  for (std::size_t e = 0; e < events->keys.size(); ++e) {
    std::size_t at = next[static_cast<std::size_t>(events->cases[e])]++;
    keys[at] = events->keys[e];
    lines[at] = events->lines[e];
  }
  set->keys = std::move(keys);
  set->keyLines = std::move(lines);
  set->starts = std::move(starts);
  set->sequenceLines = std::move(events->caseLines);
  set->caseNames = std::move(events->caseNames);
  *events = EventList{};
}

}  // namespace tavrel::tools
