// The parallel search's scheduler: the workers, the queue of work items
// and the cutting of work, with the hand-over of patterns it owns. Seen by
// parallel_search.cpp (the scheduler's loop, its steps and its runs) and
// work_cutting.cpp (when and where work is cut); no other module uses it.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "base/small_thread.h"
#include "parallel/frame_pool.h"
#include "parallel/ordered_output.h"
#include "parallel/parallel_search.h"
#include "parallel/pattern_hand_over.h"
#include "parallel/work_item.h"
#include "search/search_frame.h"

namespace tavrel::parallel {

// A worker's own memory: scratch, and frames and cursors to use again.
// Written at every step by its thread alone, on cache lines of its own
// (two workers side by side in the heap made each step a cache miss).
struct alignas(64) Worker {
  SearchScratch scratch;
  FramePool pool;
  // watchProcessor()'s stretch: steps until the next look, and when the
  // stretch began (coarseMilliseconds(), 0: not yet) with the worker's
  // processor time then (threadMicros()).
  int stepsToLook = 0;
  long long stretchFrom = 0;
  long long cpuFrom = 0;
};

class Scheduler {
 public:
  Scheduler(const ParallelOptions& options, const SearchShared& shared, ClosedSetSink& sink)
      : options_(options), shared_(shared), sink_(sink) {}

  ~Scheduler() { stopWorkers(); }

  // Starts the workers, which wait for the first piece of work. False when
  // no thread could be started.
  bool startWorkers(std::size_t topCandidates);
  // Searches from the top frame (which it takes over) and hands the
  // patterns on, in order.
  SearchOutcome run(FrameData* top);
  // Searches one unit from the caller's top frame, as run() does.
  SearchOutcome runUnit(FrameData& top, const WorkUnit& unit);

 private:
  void stopWorkers();
  void workerLoop(Worker& worker);
  WorkItem* take();
  void runItem(WorkItem& item, Worker& worker);
  bool step(WorkItem& item, Worker& worker);
  void popLevel(WorkItem& item, Worker& worker);
  // The hand-over's, for step() and run() (pattern_hand_over.h).
  bool takePattern(WorkItem& item, const int* edges, int length, int support) {
    return patterns_.takePattern(item, edges, length, support);
  }
  bool recordPattern(WorkItem& item, const int* edges, int length, int support) {
    return patterns_.recordPattern(item, edges, length, support);
  }
  bool handOver(WorkItem& item) { return patterns_.handOver(item); }
  void finish(WorkItem& item, Worker& worker, bool cut);
  void trySplit(WorkItem& item, Worker& worker);
  void giveAway(WorkItem& item);
  Chunk* chunkForSplit(WorkItem& item, std::size_t chosen);
  SearchOutcome searchFrom(WorkItem* item);
  bool mayWait(WorkItem& item);
  void fail() {
    failed_.store(true);
    stopping_.store(true);
  }
  // Queues an item. Never allocates: the queue and the list of items put
  // aside each have room for every live item (items_).
  void queueLocked(WorkItem* item) {
    queue_.push_back(item);
    std::push_heap(queue_.begin(), queue_.end(), later);
    queued_.store(static_cast<int>(queue_.size()));
  }
  // Counts one more live work item, first making room for it in the queue
  // and the list of items put aside. False when memory ran out.
  bool roomForItemLocked() {
    try {
      queue_.reserve(items_ + 1);
      parked_.reserve(items_ + 1);
    } catch (const std::bad_alloc&) {
      return false;
    }
    ++items_;
    return true;
  }
  void headMoved();
  void catchUp();
  void watchProcessor(Worker& worker);
  // Steers the size of the pieces cut close behind the head's work: a
  // level higher after one was over too soon for the cut to pay (`up`),
  // half as many levels after one gathered too many waiting patterns.
  void steerNearHeight(bool up) {
    int height = nearHeight_.load(std::memory_order_relaxed);
    int steered = up ? std::min(height + 1, 64) : height / 2;
    nearHeight_.store(steered, std::memory_order_relaxed);
  }
  // Whether an idle worker may get a piece of work: at most half the cap
  // waits, or at most the cap while the output has handed on everything
  // before the head's work. Past half the cap the output may be behind the
  // search, and a piece would only add to what waits: idle workers rest
  // until the output has caught up. (Splitting the deepest ranges instead
  // made pieces so small in runs whose output is written slower than it is
  // made that splitting took most of the cores.) But while the head is
  // direct, what waits waits for the head's work alone, which a piece of it
  // shortens (nearLevel()): resting then left one worker to finish a long
  // item alone. Measurements of both: bench/NOTES.md, "Parallel search".
  bool helpMayRun() const {
    std::size_t pending = output_.pendingBytes();
    return pending <= options_.waitingCap / 2 ||
           (pending <= options_.waitingCap && output_.headIsDirect());
  }
  double now() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }

  const ParallelOptions& options_;
  const SearchShared& shared_;
  ClosedSetSink& sink_;
  OrderedOutput output_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();

  std::mutex lock_;
  std::condition_variable wake_;
  std::vector<WorkItem*> queue_;  // a heap, earliest in output order on top
  std::vector<WorkItem*> parked_;
  std::size_t items_ = 0;  // work items queued, running or put aside
  int running_ = 0;
  int idle_ = 0;
  ParallelStats stats_;  // splits, parks and idle time, counted under the lock
  bool begun_ = false;   // the first piece of work has been queued
  // Set under the lock once no work is left; read without it too.
  std::atomic<bool> finished_{false};
  std::vector<std::unique_ptr<Worker>> workers_;
  std::vector<std::unique_ptr<SmallThread>> threads_;
  // Copies, read without the lock, of what the lock guards: the queue's
  // size, for idle workers that spin before they sleep (take()), and the
  // items put aside as parked (not tooFar) that no worker has taken again
  // yet, for the drainer, which asks at every record whether any may run
  // again (catchUp()).
  std::atomic<int> queued_{0};
  std::atomic<int> parkedCount_{0};
  std::atomic<bool> splitWanted_{false};
  std::atomic<int> nearHeight_{0};          // see nearLevel() and steerNearHeight()
  std::atomic<long long> crowdedUntil_{0};  // see watchProcessor()
  std::atomic<bool> starved_{false};        // an idle worker asked for no work: too much waited
  std::atomic<bool> stopping_{false};
  std::atomic<bool> failed_{false};
  PatternHandOver patterns_{options_, sink_, output_, stopping_};
};

}  // namespace tavrel::parallel
