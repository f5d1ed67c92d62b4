#include "prep/sequence_set.h"

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

}  // namespace tavrel::tools
