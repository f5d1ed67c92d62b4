// The sequences as the input readers hand them on, before items get their
// numbers: each item is a key, an index into the set's table of labels.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tavrel::tools {

struct Sequence {
  std::vector<int> keys;    // the items in their order
  std::vector<long> lines;  // the input line each item came from
  long line = 0;            // the line the sequence starts on
  std::string caseName;     // the case id of an event log; empty otherwise
};

struct SequenceSet {
  std::vector<std::string> labels;             // by key
  std::unordered_map<std::string, int> index;  // label -> key
  std::vector<long long> sortValue;            // by key; used when numberBySortValue
  std::vector<int> occurrence;  // by key: 1, or n for the n-th occurrence made an item of its own
  bool numberBySortValue = false;   // number items by ascending sortValue, not first appearance
  std::vector<Sequence> sequences;  // non-empty ones, in input order
  long emptyDropped = 0;            // empty sequences that were left out
};

// The key of `label`, added to the set when it is new (with sort value 0,
// occurrence 1).
int internLabel(SequenceSet* set, std::string_view label);

}  // namespace tavrel::tools
