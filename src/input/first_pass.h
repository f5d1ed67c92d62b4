// The first pass over the strings: how often each item occurs, and the
// dense numbering of the frequent ones.
#pragma once

#include "input/string_feed.h"
#include "state/run_state.h"

namespace tavrel {

// Creates itemTable (totalItems records) and counts every item occurrence
// of the feed's strings (the first pass over them, which checks each one)
// and sets stringsRead; sets minSup from minSupShare, a share of the strings
// read (not of the count the spec file declares), when a share was given; marks the items with at
// least minSup occurrences frequent and numbers them 0, 1, 2 ... in ascending item number
// (frequentIndex); creates frequentItems (frequentIndex -> item) and sets frequentItemCount.
// Returns 0, or -1 after a reported failure: a defective string ("row #k: error
// ...", then the line), a file that cannot be opened or read, a lack of
// memory.
int countItems(RunState& run, StringFeed& feed);

}  // namespace tavrel
