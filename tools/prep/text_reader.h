// Reader of plain-text sequences: one sequence per line, its items as
// tokens separated by blanks, tabs or commas (a run of separators counts as
// one). A token is a label and may be any other text. A line without a
// token is an empty sequence. Items are numbered in order of first
// appearance.
#pragma once

#include <string>
#include <string_view>

#include "prep/input_lines.h"
#include "prep/sequence_set.h"

namespace tavrel::tools {

// Reads the lines of `input` into `set`, skipping the lines that start
// with `comment` (when it is not empty). Every line is well-formed, so
// only the input's bytes can be at fault: fails with their fault.
Result readTextSequences(InputLines* input, std::string_view comment, SequenceSet* set);

// Reads `text` in memory, as above; for text without faults.
void readTextSequences(std::string_view text, std::string_view comment, SequenceSet* set);

}  // namespace tavrel::tools
