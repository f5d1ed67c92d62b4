// From the sequences read to the database the miner reads: repeated items
// are dropped (or refused), and the items get their numbers 0..K-1.
#pragma once

#include <string>
#include <vector>

#include "prep/sequence_set.h"

namespace tavrel::tools {

struct Database {
  std::vector<std::string> labels;        // by item number
  std::vector<std::vector<int>> strings;  // item numbers, each at most once per string
  std::size_t longest = 0;                // items in the longest string
};

struct RepeatCount {
  long dropped = 0;    // repeated occurrences removed
  long sequences = 0;  // sequences that held a repeat
};

// Keeps the first occurrence of each item in every sequence and removes the
// later ones, counting them in `count`. With `strict`, the first repeat is
// an error instead: returns -1 with "<fileName>:<line>: <reason>" in
// `error`, naming the item (and the case of an event log). Returns 0
// otherwise.
int removeRepeats(SequenceSet* set, bool strict, const std::string& fileName, RepeatCount* count,
                  std::string* error);

// Numbers the items, by ascending sort value when the set asks for it and
// otherwise in order of first appearance in the sequences, and writes the
// strings with those numbers into `database`.
void buildDatabase(const SequenceSet& set, Database* database);

}  // namespace tavrel::tools
