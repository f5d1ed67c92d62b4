// The spec file: four lines giving the string database's file name, the
// number of item numbers, the longest string and the number of strings.
#pragma once

#include "state/run_state.h"

namespace tavrel {

// Reads and checks the spec file at `path` and sets the run's
// stringDbFilename, totalItems, maxItemLength and stringCount. Returns 0
// when all four are valid (the three numbers between 1 and the int
// maximum). Otherwise reports every message that applies, in line order,
// and returns -1:
//   "Error: string db filename in spec file"          (no line 1)
//   "Error: can't get the number of total items"      (no line 2)
//   "Error: can't get the number of max item length"  (no line 3)
//   "Error: can't get the number of all strings"      (no line 4)
//   "Error: wrong parameters given in spec file"      (a value <= 0 or too big)
// A spec file that cannot be opened gets InputFile's message.
int readSpecFile(RunState& run, const char* path);

}  // namespace tavrel
