// The first pass over the string database: how often each item occurs, and
// the dense numbering of the frequent ones.
#pragma once

namespace tavrel {

// Creates itemTable (totalItems records) and counts every item occurrence
// of the first stringCount lines; marks the items with at least minSup
// occurrences frequent and numbers them 0, 1, 2 ... in ascending item
// number (frequentIndex); creates frequentItems (frequentIndex -> item) and
// sets frequentItemCount. Returns 0, or -1 after reporting a defective line
// ("row #k: error ...", then the line), a file that cannot be opened or
// read, or a lack of memory.
int countItems();

}  // namespace tavrel
