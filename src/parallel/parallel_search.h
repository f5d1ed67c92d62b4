// The closed pattern search on several threads, with the same patterns in
// the same order as on one.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <vector>

#include "search/closed_search.h"
#include "search/search_frame.h"

namespace tavrel::parallel {

// What a parallel search did, for the benchmarks.
struct ParallelStats {
  long long splits = 0;              // pieces of work given away
  long long parks = 0;               // pieces put aside because too much output waited
  double idleSeconds = 0;            // workers' time without work, summed
  double searchSeconds = 0;          // from the first piece of work to the last pattern handed on
  std::size_t mostWaitingBytes = 0;  // the most bytes of patterns that waited at once
};

// A range of one frame's candidates: the frame is reached from the top
// frame by taking candidate path[0] there, path[1] in the child, and so on;
// the range is [start, end) of its candidates. The unit of work that
// moves between processes: the search of a unit is the same wherever it
// runs, as the search of a range is the same on any thread.
struct WorkUnit {
  std::vector<int> path;
  int start = 0;
  int end = 0;
};

// Lets another process take part of a search's work. The engine gives
// away the upper half of the untaken part of the shallowest range it can
// cut when `wanted` is set (it clears it then), or at every step where a
// range can be cut when `always` is set (for the tests). In its output the
// patterns of a piece given away are replaced by a mark that reached()
// reports where they belong.
class WorkExchange {
 public:
  virtual ~WorkExchange() = default;
  std::atomic<bool> wanted{false};
  bool always = false;
  // Takes a piece cut off the search (on one of its threads, one at a
  // time): `asked` when it answers `wanted`. Returns the number that
  // marks its place in the output.
  virtual int give(const WorkUnit& unit, bool asked) = 0;
  // Called on the sink's thread, in output order, where the patterns of
  // piece `id` belong. False stops the search.
  virtual bool reached(int id) = 0;
};

// Read at every step: on cache lines of its own, away from what its
// owner writes beside it.
struct alignas(64) ParallelOptions {
  int threads = 2;  // workers that search (at least 1)
  FramePolicy policy = FramePolicy::kCheapest;
  bool vectorRows = true;                   // as SearchOptions::vectorRows
  const std::atomic<bool>* stop = nullptr;  // polled: stop soon when it becomes true
  RunProgress* progress = nullptr;          // topEdges and topEdgesReached, when given
  // The most bytes of patterns that may wait for the ones before them.
  std::size_t waitingCap = std::size_t{128} << 20;
  // Split every range that can be split, at once (for the tests: the
  // output must not change however the work is cut up).
  bool splitAlways = false;
  // Told of each piece of work when it ends (for the benchmarks' record of
  // the tasks): when it began and ended, in seconds since the search
  // started, and the patterns it found.
  std::function<void(double begin, double end, long long patterns)> onWorkDone;
  ParallelStats* stats = nullptr;                // filled in when given
  WorkExchange* exchange = nullptr;              // when given, pieces of work may leave the search
  const SearchConditions* conditions = nullptr;  // as SearchOptions::conditions
};

// Hands every closed pattern of the database to `sink`, in the order of
// searchClosed(), found by options.threads workers (how they share the
// work: parallel_search.cpp). Patterns found ahead of the output wait, in
// memory that options.waitingCap bounds. The sink is called one call at a
// time, in order, from the calling thread or from a worker. On kStopped
// and kOutOfMemory, every pattern before the point where the search
// stopped has been handed over, in order. When no thread can be started, returns kNoThreads and
// leaves the database as it was; otherwise the search takes it over.
SearchOutcome searchInParallel(EdgeDatabase& database, int minSup, ClosedSetSink& sink,
                               const ParallelOptions& options);

// Searches one unit of work as searchInParallel() searches everything:
// the patterns of the unit's range, and the top frame's own pattern first
// when the unit is the whole top range (empty path, start 0). `top` and
// `shared` come from openTopFrame() and stay the caller's, to search
// further units with: top.references must count the caller's hold (at
// least 1). The frames on the path are made again here, by taking each
// path step through a range of that step alone (the caller vouches that
// each step leads to a frame). kNoThreads when no thread could be started.
SearchOutcome searchUnitInParallel(FrameData& top, const SearchShared& shared, const WorkUnit& unit,
                                   ClosedSetSink& sink, const ParallelOptions& options);

}  // namespace tavrel::parallel
