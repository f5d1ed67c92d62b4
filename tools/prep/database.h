// From the sequences read to the database the miner reads: repeated items
// are dropped, refused or made items of their own, and the items get their
// numbers 0..K-1.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "base/result.h"
#include "prep/sequence_set.h"

namespace tavrel::tools {

struct Database {
  std::vector<std::string> labels;  // by item number
  // The strings, flat: string s holds items[starts[s]] .. items[starts[s + 1] - 1],
  // item numbers, each at most once per string.
  std::vector<int> items;
  std::vector<std::size_t> starts{0};
  std::size_t longest = 0;  // items in the longest string
  // Where each string came from: the case id of an event log (caseNames),
  // otherwise the input line it started on (sequenceLines).
  std::vector<std::string> caseNames;
  std::vector<long> sequenceLines;
};

// The identifier of string `s` in the source: its case id, or its line.
inline std::string sourceOf(const Database& database, std::size_t s) {
  return database.caseNames.empty() ? std::to_string(database.sequenceLines[s])
                                    : database.caseNames[s];
}

inline std::size_t stringCount(const Database& database) { return database.starts.size() - 1; }

// The items of string `s`.
inline std::span<const int> databaseString(const Database& database, std::size_t s) {
  return std::span<const int>(database.items)
      .subspan(database.starts[s], database.starts[s + 1] - database.starts[s]);
}

// What becomes of a later occurrence of an item in the same sequence.
enum class RepeatMode {
  kDrop,    // it is left out
  kRefuse,  // it is an error
  kNumber,  // it becomes an item of its own: the second "a" is "a#2", the third "a#3"
};

struct RepeatCount {
  long occurrences = 0;  // later occurrences dropped or numbered
  long sequences = 0;    // sequences that held one
};

// Makes every sequence hold each item once, as `mode` says, counting the
// later occurrences in `count`. Fails with "<fileName>:<line>: <reason>"
// for the first repeat with kRefuse (naming the item and the case of an
// event log), and with kNumber when the input already holds an item of the
// name a repeat would get.
Result resolveRepeats(SequenceSet* set, RepeatMode mode, const std::string& fileName,
                      RepeatCount* count);

// Numbers the items, by ascending sort value when the set asks for it
// (numbered repeats after all first occurrences, the second ones first) and
// otherwise in order of first appearance in the sequences, and writes the
// strings with those numbers into `database`. The first form takes the
// set's arrays over, so that the keys are not held twice.
void buildDatabase(SequenceSet&& set, Database* database);
void buildDatabase(const SequenceSet& set, Database* database);

}  // namespace tavrel::tools
