// The runs behind tavrel-scaling: the passes over a spec file's strings,
// the search timed as it is (sequential, and in parallel for comparison),
// and the search recorded into a cost tree.
#pragma once

#include <string>

#include "scaling/cost_recorder.h"
#include "transactions/edge_database.h"

namespace tavrel::scaling {

struct PassesResult {
  EdgeDatabase database;
  int minSup = 0;
  int edges = 0;
  double seconds = 0;
  bool ok = false;
};

// Runs the three passes over the strings of `spec` (a bare database name
// in it is found beside it), on `threads` threads.
PassesResult runPasses(const std::string& spec, int minSup, int threads = 1);

// A copy of the edge transactions, for one more search.
EdgeDatabase copyOf(const EdgeDatabase& database);

struct TimedSearch {
  double seconds = 0;            // the whole search, top frame included
  double cpuSeconds = 0;         // the process's processor time meanwhile, all threads
  double notRunningSeconds = 0;  // the recorded search: its thread was not running
  double searchSeconds = 0;      // the parallel engine: from its first piece of work to the end
  double idleSeconds = 0;        // the parallel engine: its workers' time without work, summed
  long long patterns = 0;
  long long splits = 0;
};

// The sequential search with nothing watching it, patterns dropped.
TimedSearch timeSequential(EdgeDatabase database, int minSup);
// The parallel search on `threads` workers, patterns dropped.
TimedSearch timeParallel(EdgeDatabase database, int minSup, int threads);

// Counting the top frame's pair table on one thread (a part of the
// search's set-up that the parallel search shares out), in seconds: the
// fastest of three.
double timePairTable(const EdgeDatabase& database, int minSup);

// The sequential search recorded; `timed` gets its times.
CostTree recordSearch(EdgeDatabase database, int minSup, const RecorderOptions& options,
                      TimedSearch& timed);

}  // namespace tavrel::scaling
