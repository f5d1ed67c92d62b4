// Reader of two-column logs: one event per line, a case id and an item,
// separated by blanks or tabs (a run of them counts as one). The events of
// a case form one sequence, in line order; sequences come in the order in
// which their case first appears. Blank lines and comment lines are
// skipped. Items are numbered in order of first appearance.
#pragma once

#include <string>
#include <string_view>

#include "prep/input_lines.h"
#include "prep/sequence_set.h"

namespace tavrel::tools {

// Reads the lines of `input` (the file `fileName`) into `set`, skipping
// the lines that start with `comment` (when it is not empty). Fails with
// "<fileName>:<line>: <reason>" for a line that does not hold exactly two
// columns (or the fault of the input's bytes, which weighs more).
Result readPairs(InputLines* input, const std::string& fileName, std::string_view comment,
                 SequenceSet* set);

// Reads `text` in memory, as above.
Result readPairs(std::string_view text, const std::string& fileName, std::string_view comment,
                 SequenceSet* set);

}  // namespace tavrel::tools
