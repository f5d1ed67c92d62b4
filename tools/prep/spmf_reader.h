// Reader of the SPMF sequence format: one sequence per line, item ids as
// non-negative integers, -1 after each itemset and -2 at the end of the
// sequence. Itemsets are flattened in order, the items of one itemset in
// their listed order. Blank lines and lines starting with '#' or '%' are
// skipped; of the '@' lines, "@ITEM=<id>=<name>" gives an item its label
// and the others are skipped. An item without a name is labelled with its
// id. Items are numbered by ascending id.
#pragma once

#include <string>
#include <string_view>

#include "prep/input_lines.h"
#include "prep/sequence_set.h"

namespace tavrel::tools {

// Reads the lines of `input` (the file `fileName`) into `set`, skipping
// also the lines that start with `comment` (when it is not empty).
// Fails with "<fileName>:<line>: <reason>" (or the fault of the input's
// bytes, which weighs more).
Result readSpmf(InputLines* input, const std::string& fileName, std::string_view comment,
                SequenceSet* set);

// Reads `text` in memory, as above.
Result readSpmf(std::string_view text, const std::string& fileName, std::string_view comment,
                SequenceSet* set);

}  // namespace tavrel::tools
