// The closed pattern search on several threads, with the same patterns in
// the same order as on one.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>

#include "search/closed_search.h"

namespace tavrel::parallel {

// What a parallel search did, for the benchmarks.
struct ParallelStats {
  long long splits = 0;      // pieces of work given away
  long long parks = 0;       // pieces put aside because too much output waited
  double idleSeconds = 0;    // workers' time without work, summed
  double searchSeconds = 0;  // from the first piece of work to the last pattern handed on
};

struct ParallelOptions {
  int threads = 2;  // workers that search (at least 1)
  FramePolicy policy = FramePolicy::kCheapest;
  const std::atomic<bool>* stop = nullptr;  // polled: stop soon when it becomes true
  RunProgress* progress = nullptr;          // topEdges and topEdgesReached, when given
  // The most bytes of patterns that may wait for the ones before them; a
  // worker past it leaves its work for later and takes earlier work.
  std::size_t waitingCap = std::size_t{256} << 20;
  // Split every range that can be split, at once (for the tests: the
  // output must not change however the work is cut up).
  bool splitAlways = false;
  // Told of each piece of work when it ends (for the benchmarks' record of
  // the tasks): when it began and ended, in seconds since the search
  // started, and the patterns it found.
  std::function<void(double begin, double end, long long patterns)> onWorkDone;
  ParallelStats* stats = nullptr;  // filled in when given
};

// Hands every closed pattern of the database to `sink`, in the order of
// searchClosed(), found by options.threads workers. Work is cut up on
// demand: a worker without work takes the rest of a range of a frame's
// candidates from a busy one (the shallowest such range of the earliest
// work, or the deepest when output is waiting), and patterns found ahead
// of the output wait, in memory that options.waitingCap bounds. The sink is
// called from the calling thread only. On kStopped and kOutOfMemory,
// every pattern before the point where the search stopped has been handed
// over, in order. When no thread can be started, returns kNoThreads and
// leaves the database as it was; otherwise the search takes it over.
SearchOutcome searchInParallel(EdgeDatabase& database, int minSup, ClosedSetSink& sink,
                               const ParallelOptions& options);

}  // namespace tavrel::parallel
