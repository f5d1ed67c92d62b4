// The sequences as the input readers hand them on, before items get their
// numbers: each item is a key, an index into the set's table of labels.
// The sequences lie in flat arrays (one array of keys and the offsets
// where each sequence starts), so that a set costs a few bytes per item
// and per sequence, not an allocation per sequence.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tavrel::tools {

struct SequenceSet {
  std::vector<std::string> labels;             // by key
  std::unordered_map<std::string, int> index;  // label -> key
  std::vector<long long> sortValue;            // by key; used when numberBySortValue
  std::vector<int> occurrence;  // by key: 1, or n for the n-th occurrence made an item of its own
  bool numberBySortValue = false;  // number items by ascending sortValue, not first appearance
  // The non-empty sequences in input order: sequence s holds the keys
  // keys[starts[s]] .. keys[starts[s + 1] - 1].
  std::vector<int> keys;
  std::vector<std::size_t> starts{0};
  std::vector<long> keyLines;          // the input line of each key; empty: its sequence's line
  std::vector<long> sequenceLines;     // the line each sequence starts on
  std::vector<std::string> caseNames;  // the case id of each sequence of an event log; else empty
  long emptyDropped = 0;               // empty sequences that were left out
};

// The key of `label`, added to the set when it is new (with sort value 0,
// occurrence 1).
int internLabel(SequenceSet* set, std::string_view label);

// The number of sequences in the set.
inline std::size_t sequenceCount(const SequenceSet& set) { return set.starts.size() - 1; }

// The input line of the key at `position` of the keys array, which lies
// in sequence `sequence`.
inline long keyLine(const SequenceSet& set, std::size_t sequence, std::size_t position) {
  return set.keyLines.empty() ? set.sequenceLines[sequence] : set.keyLines[position];
}

// Ends the sequence made of the keys added since the last one ended, which
// started on line `line`: it is kept when it holds a key and counted in
// emptyDropped otherwise.
void closeSequence(SequenceSet* set, long line);

// The events of a log before they are grouped into sequences, in file
// order: event e is key keys[e] of case cases[e], from line lines[e].
struct EventList {
  std::vector<int> cases;  // index of the case, in order of first appearance
  std::vector<int> keys;
  std::vector<long> lines;
  std::vector<long> caseLines;         // the line each case first appears on
  std::vector<std::string> caseNames;  // by case
};

// Replaces the sequences of `set` by one per case of `events`, in case
// order, each holding the case's events in file order (with their lines in
// keyLines). `events` is emptied.
void groupEvents(EventList* events, SequenceSet* set);

}  // namespace tavrel::tools
