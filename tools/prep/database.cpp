#include "prep/database.h"

#include <algorithm>
#include <numeric>

namespace tavrel::tools {

int removeRepeats(SequenceSet* set, bool strict, const std::string& fileName, RepeatCount* count,
                  std::string* error) {
  // lastSeen[key] is 1 + the index of the last sequence that held the key.
  std::vector<std::size_t> lastSeen(set->labels.size(), 0);
  for (std::size_t s = 0; s < set->sequences.size(); ++s) {
    Sequence& sequence = set->sequences[s];
    std::size_t kept = 0;
    for (std::size_t k = 0; k < sequence.keys.size(); ++k) {
      std::size_t key = static_cast<std::size_t>(sequence.keys[k]);
      if (lastSeen[key] != s + 1) {
        lastSeen[key] = s + 1;
        sequence.keys[kept] = sequence.keys[k];
        sequence.lines[kept] = sequence.lines[k];
        ++kept;
        continue;
      }
      if (strict) {
        *error = fileName + ":" + std::to_string(sequence.lines[k]) + ": item '" +
                 set->labels[key] + "' occurs again in the same sequence";
        if (!sequence.caseName.empty()) *error += " (case '" + sequence.caseName + "')";
        return -1;
      }
      ++count->dropped;
    }
    if (kept < sequence.keys.size()) {
      ++count->sequences;
      sequence.keys.resize(kept);
      sequence.lines.resize(kept);
    }
  }
  return 0;
}

void buildDatabase(const SequenceSet& set, Database* database) {
  std::vector<int> numberOf(set.labels.size(), -1);
  int next = 0;
  if (set.numberBySortValue) {
    std::vector<int> keys(set.labels.size());
    std::iota(keys.begin(), keys.end(), 0);
    std::sort(keys.begin(), keys.end(), [&](int a, int b) {
      return set.sortValue[static_cast<std::size_t>(a)] <
             set.sortValue[static_cast<std::size_t>(b)];
    });
    for (int key : keys) numberOf[static_cast<std::size_t>(key)] = next++;
  } else {
    for (const Sequence& sequence : set.sequences) {
      for (int key : sequence.keys) {
        if (numberOf[static_cast<std::size_t>(key)] < 0)
          numberOf[static_cast<std::size_t>(key)] = next++;
      }
    }
  }
  database->labels.assign(static_cast<std::size_t>(next), std::string());
  for (std::size_t key = 0; key < set.labels.size(); ++key) {
    if (numberOf[key] >= 0)
      database->labels[static_cast<std::size_t>(numberOf[key])] = set.labels[key];
  }
  database->strings.clear();
  database->longest = 0;
  for (const Sequence& sequence : set.sequences) {
    std::vector<int> items;
    items.reserve(sequence.keys.size());
    for (int key : sequence.keys) items.push_back(numberOf[static_cast<std::size_t>(key)]);
    database->longest = std::max(database->longest, items.size());
    database->strings.push_back(std::move(items));
  }
}

}  // namespace tavrel::tools
