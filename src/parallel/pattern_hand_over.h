// How the patterns a parallel search finds reach the sink, in order: a
// piece of work gathers them as records (pattern_records.h) and hands them
// to its chunk of the ordered output in batches, or straight to the sink
// when its chunk is first (direct). The drainer of the ordered output and
// the worker whose chunk is direct hand records on through deliver().
#pragma once

#include <time.h>

#include <atomic>
#include <cstddef>

#include "parallel/ordered_output.h"
#include "parallel/parallel_search.h"
#include "parallel/work_item.h"

namespace tavrel::parallel {

// A clock that is cheap to read, to a few milliseconds.
inline long long coarseMilliseconds() {
  struct timespec now {};
  clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// True when the item's chunk is direct and nothing of the item waits: what
// it finds now goes straight to the sink.
inline bool writesDirectly(const WorkItem& item) {
  return item.pending.empty() && item.chunk->direct();
}

// The hand-over of one search's patterns. Shared by all its workers and its
// drainer; what belongs to an item is only touched by the worker running it.
class PatternHandOver {
 public:
  // `stopping` is the search's flag that the run ends: set here when the
  // sink asks to stop, read while waiting for the output.
  PatternHandOver(const ParallelOptions& options, ClosedSetSink& sink, OrderedOutput& output,
                  std::atomic<bool>& stopping)
      : options_(options), sink_(sink), output_(output), stopping_(stopping) {}

  // Hands a pattern on: straight to the sink when the item writes
  // directly, else through its pending records (handOverSoon()). False
  // when memory ran out.
  bool takePattern(WorkItem& item, const int* edges, int length, int support);
  // Adds a pattern to the item's pending records: as the sink's text when
  // the sink makes text, else as its support, edge count and edges. False
  // when memory ran out.
  bool recordPattern(WorkItem& item, const int* edges, int length, int support);
  // Hands the item's pending patterns to its chunk, or on to the sink when
  // the chunk is direct (now, or soon: when enough have gathered or the
  // chunk is first and they have waited a little). False when memory ran
  // out.
  bool handOver(WorkItem& item);
  bool handOverSoon(WorkItem& item);
  // Hands one record on (a pattern, or a mark); sets the ints it used.
  // False when the sink asks to stop.
  bool deliver(const int* record, std::size_t* used);
  // Waits, as the work of the head chunk, until the head's patterns not yet
  // handed on are down to a quarter of the cap, or the run stops.
  void waitForOutput();
  // The sink asked to stop: nothing more reaches it, and the run ends.
  void stopForSink() {
    sinkStopped_.store(true);
    stopping_.store(true);
    output_.wake();
  }
  // True once the sink has asked to stop.
  bool sinkStopped() const { return sinkStopped_.load(); }

 private:
  // Hands the item's pending records on to the sink, in order; drops them
  // once the sink has asked to stop.
  void handOnDirectly(WorkItem& item);

  const ParallelOptions& options_;
  ClosedSetSink& sink_;
  OrderedOutput& output_;
  std::atomic<bool>& stopping_;
  std::atomic<bool> sinkStopped_{false};
};

}  // namespace tavrel::parallel
