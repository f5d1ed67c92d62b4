#include "prep/database.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace tavrel::tools {

namespace {

// The key of the `occurrence`-th occurrence of `key` in a sequence, made
// an item of its own. Returns -1 with a reason when an item of the input
// (one of the first `inputKeys` keys) already has that name.
int numberedKey(SequenceSet* set, int key, int occurrence, std::size_t inputKeys,
                std::string* reason) {
  std::string label = set->labels[static_cast<std::size_t>(key)] + "#" + std::to_string(occurrence);
  auto found = set->index.find(label);
  if (found != set->index.end() && static_cast<std::size_t>(found->second) < inputKeys) {
    *reason = "the input holds an item '" + label + "', the name that --repeats number gives to " +
              "occurrence " + std::to_string(occurrence) + " of '" +
              set->labels[static_cast<std::size_t>(key)] + "' in a sequence";
    return -1;
  }
  int numbered = internLabel(set, label);
  set->occurrence[static_cast<std::size_t>(numbered)] = occurrence;
  set->sortValue[static_cast<std::size_t>(numbered)] =
      set->sortValue[static_cast<std::size_t>(key)];
  return numbered;
}

}  // namespace

Result resolveRepeats(SequenceSet* set, RepeatMode mode, const std::string& fileName,
                      RepeatCount* count) {
  std::size_t inputKeys = set->labels.size();
  // lastSeen[key] is 1 + the index of the last sequence that held the key;
  // seen[key] counts its occurrences in that sequence.
  std::vector<std::size_t> lastSeen(inputKeys, 0);
  std::vector<int> seen(inputKeys, 0);
  std::string reason;
  bool withLines = !set->keyLines.empty();
  std::size_t kept = 0;  // keys kept so far; the arrays are compacted in place
  for (std::size_t s = 0; s < sequenceCount(*set); ++s) {
    std::size_t begin = set->starts[s], end = set->starts[s + 1];
    set->starts[s] = kept;
    bool repeated = false;
    for (std::size_t k = begin; k < end; ++k) {
      int key = set->keys[k];
      std::size_t index = static_cast<std::size_t>(key);
      if (lastSeen[index] != s + 1) {
        lastSeen[index] = s + 1;
        seen[index] = 1;
      } else if (mode == RepeatMode::kRefuse) {
        reason = "item '" + set->labels[index] + "' occurs again in the same sequence";
        if (!set->caseNames.empty()) reason += " (case '" + set->caseNames[s] + "')";
      } else {
        ++count->occurrences;
        if (!repeated) ++count->sequences;
        repeated = true;
        if (mode == RepeatMode::kDrop) continue;
        key = numberedKey(set, key, ++seen[index], inputKeys, &reason);
      }
      if (!reason.empty()) {
        return Result::failure(fileName + ":" + std::to_string(keyLine(*set, s, k)) + ": " +
                               reason);
      }
      set->keys[kept] = key;
      if (withLines) set->keyLines[kept] = set->keyLines[k];
      ++kept;
    }
  }
  set->starts.back() = kept;
  set->keys.resize(kept);
  if (withLines) set->keyLines.resize(kept);
  return Result();
}

void buildDatabase(SequenceSet&& set, Database* database) {
  std::vector<int> numberOf(set.labels.size(), -1);
  int next = 0;
  if (set.numberBySortValue) {
    std::vector<int> keys(set.labels.size());
    std::iota(keys.begin(), keys.end(), 0);
    std::sort(keys.begin(), keys.end(), [&](int a, int b) {
      std::size_t i = static_cast<std::size_t>(a), j = static_cast<std::size_t>(b);
      return std::pair(set.occurrence[i], set.sortValue[i]) <
             std::pair(set.occurrence[j], set.sortValue[j]);
    });
    for (int key : keys) numberOf[static_cast<std::size_t>(key)] = next++;
  } else {
    for (int key : set.keys) {
      if (numberOf[static_cast<std::size_t>(key)] < 0)
        numberOf[static_cast<std::size_t>(key)] = next++;
    }
  }
  database->labels.assign(static_cast<std::size_t>(next), std::string());
  for (std::size_t key = 0; key < set.labels.size(); ++key) {
    if (numberOf[key] >= 0)
      database->labels[static_cast<std::size_t>(numberOf[key])] = std::move(set.labels[key]);
  }
  for (int& key : set.keys) key = numberOf[static_cast<std::size_t>(key)];
  database->items = std::move(set.keys);
  database->starts = std::move(set.starts);
  database->caseNames = std::move(set.caseNames);
  database->sequenceLines = std::move(set.sequenceLines);
  database->longest = 0;
  for (std::size_t s = 0; s + 1 < database->starts.size(); ++s) {
    database->longest = std::max(database->longest, database->starts[s + 1] - database->starts[s]);
  }
  set = SequenceSet{};
}

void buildDatabase(const SequenceSet& set, Database* database) {
  SequenceSet copy = set;
  buildDatabase(std::move(copy), database);
}

}  // namespace tavrel::tools
