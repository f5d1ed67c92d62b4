// The depth-first search for closed patterns over the strings' edge
// transactions.
#pragma once

#include <atomic>

#include "search/closed_set_sink.h"
#include "search/frame_policy.h"
#include "search/search_conditions.h"
#include "search/search_observer.h"
#include "tavrel/tavrel.h"
#include "transactions/edge_database.h"

namespace tavrel {

enum class SearchOutcome {
  kComplete,     // every closed pattern was handed to the sink
  kStopped,      // the sink or the stop flag asked to stop
  kOutOfMemory,  // memory ran out; the patterns handed over so far stand
  kNoThreads,    // (parallel search) no thread could be started; nothing was done
  kFailed,       // a process that shared the search failed; the patterns handed over so far stand
};

// Hands every closed pattern of the database with support >= minSup (>= 1)
// to `sink`: every non-empty set of edges that no further edge joins in
// all of its strings, with the number of those strings. The first pattern,
// when there is one, is the set of edges with support rootSupport. The
// order is depth-first: the pattern of each step before those found below
// it, a pattern's extensions in ascending edgeId. The search takes the
// database over (its memory becomes the search's own) and frees everything
// before it returns; its depth is bounded by memory, not by the call stack.
struct SearchOptions {
  FramePolicy policy = FramePolicy::kCheapest;
  // Polled between steps: when it becomes true the search stops with
  // kStopped.
  const std::atomic<bool>* stop = nullptr;
  // Told of every step and of every cursor opened (for the benchmarks);
  // when null the search runs a loop that has no calls to it at all.
  SearchObserver* observer = nullptr;
  // When given: topEdges and topEdgesReached are kept up to date.
  RunProgress* progress = nullptr;
  // False: rows are counted without vector instructions even where the
  // processor has them (for the tests of that build).
  bool vectorRows = true;
  // When given, only the patterns that pass these are handed over, and the
  // search skips what cannot pass (search_conditions.h).
  const SearchConditions* conditions = nullptr;
};

SearchOutcome searchClosed(EdgeDatabase database, int minSup, ClosedSetSink& sink,
                           const SearchOptions& options = {});

}  // namespace tavrel
