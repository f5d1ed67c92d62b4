// The miner's run: command line, phases in order, timing and summary.
#pragma once

namespace tavrel {

// Runs the whole program on `Tavrel.exe spec_file min_sup` and returns its
// exit status: 0 after a complete run, -1 after a usage error or a failed
// phase (whose message has been written). All output goes to the console
// writer (standard output by default). Any number of runs may follow each
// other in one process: each starts from a fresh state and leaves nothing
// allocated behind.
int runTavrel(int argc, const char* const* argv);

// Frees every table of the global state that exists: itemTable, the rows of
// pairMatrix with their between arrays, the row array, frequentItems,
// edgeTable, edgeIndex and the prefix tree. Returns 0.
int releaseState();

// Frees every table and puts every scalar back to its initial value.
void resetState();

}  // namespace tavrel
