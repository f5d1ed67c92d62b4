#include "parallel/parallel_search.h"

#include <time.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "base/small_thread.h"
#include "parallel/frame_pool.h"
#include "parallel/ordered_output.h"
#include "parallel/pattern_hand_over.h"
#include "parallel/pattern_records.h"
#include "parallel/scheduler.h"
#include "parallel/unit_start.h"
#include "parallel/work_item.h"
#include "search/extension_step.h"
#include "search/search_frame.h"
#include "search/search_settings.h"
#include "search/top_frame.h"

namespace tavrel::parallel {

// How the work is shared.
//
// A piece of work (a WorkItem, work_item.h) is a range of one frame's candidates, taken
// in order, each with the subtree below it; the item keeps the frames it
// opens below on a stack of its own. The top frame's whole range is the
// first item. When a worker has nothing to do, a busy item gives away the
// upper half of the untaken part of one of its ranges: a new item over the
// same frame, whose cursor starts there (see extend() for what a step
// does about the candidates before its range). Frames are shared by
// reference counts; they do not change once made (frame_pool.h).
//
// Every item writes its patterns into a chunk of the ordered output. The
// new item's chunk goes right after everything the giving item will still
// write at that depth; if the giving item had not given away part of that
// range before, it also gets a chunk to go on in once it is done with the
// range, after the new item's. Items waiting to run are taken earliest in
// output order first, so that the work whose patterns come next is done
// next; an item whose patterns would only wait while too many already wait
// is put aside until the output has caught up.
//
// Work is cut up on demand: a worker without work takes the rest of a
// range of a frame's candidates from a busy one, the shallowest such range
// of the earliest work, while at most half of ParallelOptions::waitingCap
// waits. Past half the cap, only from the work whose patterns come next,
// close behind it (below), and past all of it, none: idle workers rest
// until the output has caught up (helpMayRun()). The sink is called from
// the calling thread (the drainer of the ordered output), or from the
// worker whose patterns come next once everything before them is handed
// over (its chunk is direct).
//
// Past half the cap, while the head's work runs, pieces are cut from that
// work alone, close behind what it does now (nearLevel()): in runs whose
// patterns come in one long subtree, a piece from farther on would only
// add patterns that wait, for hours, and leave one thread to do the work
// whose patterns come next. Such a piece that still gathers too many
// waiting patterns is put aside until the output reaches it, and later
// pieces are cut deeper; pieces over too soon are cut higher.
//
// A piece may also leave for another process (ParallelOptions::exchange):
// it is cut off as for a worker, but described by the steps that lead to
// its frame, and its chunk holds only the mark of its place, where its
// patterns belong (pattern_records.h). A search of such a unit makes the
// frames on its path again and starts with one item whose levels are the
// path's, each over the one step taken there (unit_start.h).

namespace {

// Takes the item's deepest level off: its cursor goes back to the
// worker's pool, its frame loses the item's hold. Returns the chunk the
// item was to write in once done with the level's range, or nullptr.
Chunk* dropLevel(WorkItem& item, Worker& worker) {
  ItemLevel level = item.levels.back();
  item.levels.pop_back();
  worker.pool.keepCursor(level.cursor);
  release(level.frame, &worker.pool);
  return level.continuation;
}

}  // namespace

void Scheduler::popLevel(WorkItem& item, Worker& worker) {
  Chunk* continuation = dropLevel(item, worker);
  if (continuation != nullptr) {
    if (!handOver(item)) fail();
    item.chunk->close(false);
    item.chunk = continuation;
    item.near = false;  // what it goes on with comes after the pieces cut from it
  }
}

void Scheduler::finish(WorkItem& item, Worker& worker, bool cut) {
  if (!handOver(item)) {
    fail();
    cut = true;
  }
  item.chunk->close(cut);
  while (!item.levels.empty()) {
    Chunk* continuation = dropLevel(item, worker);
    if (continuation != nullptr) continuation->close(cut);
  }
  if (item.near && !cut && now() - item.ran < 0.002) steerNearHeight(true);
  if (options_.onWorkDone && !cut) options_.onWorkDone(item.began, now(), item.patterns);
  delete &item;
}

// One step of the item's deepest level; false when the search must stop.
bool Scheduler::step(WorkItem& item, Worker& worker) {
  if (--worker.stepsToLook < 0) watchProcessor(worker);
  ItemLevel& level = item.levels.back();
  Cursor& cursor = *level.cursor;
  int i = cursor.next++;
  if (options_.progress != nullptr && item.prefix.empty() && item.levels.size() == 1) {
    // Where the output stands, told when the output gets here.
    if (writesDirectly(item)) {
      options_.progress->topEdgesReached.store(i + 1, std::memory_order_relaxed);
    } else {
      if (!item.pending.reserve(item.pending.size() + 2)) return false;
      item.pending.push(kTopEdgeMark);
      item.pending.push(i + 1);
    }
  }
  FrameData* child = worker.pool.takeFrame();
  if (child == nullptr) return false;
  StepResult result = extend(cursor, i, *child, worker.scratch);
  finishStep(cursor, i);
  if (result == StepResult::kOutOfMemory) return false;
  if (result == StepResult::kRejected) return true;
  if (handsOver(shared_.conditions, *child)) {
    if (!takePattern(item, child->pattern.data(), static_cast<int>(child->pattern.size()),
                     child->support)) {
      return false;
    }
    ++item.patterns;
  }
  if (result == StepResult::kLeaf) return true;
  Cursor* below = worker.pool.takeCursor();
  if (below == nullptr) return false;
  if (!openCursor(*below, *child, 0, child->candidateCount()) ||
      !pushLevel(item, ItemLevel{child, below, nullptr})) {
    worker.pool.keepCursor(below);
    return false;
  }
  child->references.store(1, std::memory_order_relaxed);
  child->holdsBase.store(false, std::memory_order_relaxed);  // the levels below keep its base
  worker.pool.useSpare();
  return true;
}

// True when the item may go on: its patterns come next, or not too many
// wait. Otherwise it is put aside (parked) until they have caught up. The
// item whose patterns come next is never put aside; when too many wait
// even so, the output is read more slowly than it is made, and it waits
// for the reader (waitForOutput()) each time it hands a batch over
// (handOverSoon()), not at every step: handing over a pattern or two at
// every step woke the thread that keeps the order for each of them.
bool Scheduler::mayWait(WorkItem& item) {
  std::size_t pending = output_.pendingBytes();
  if (pending <= options_.waitingCap / 2) return true;
  // Past half the cap, while the head's work runs, the rest of the cap is
  // kept for pieces of that work (nearHelp in trySplit()): a piece from
  // farther on could fill it with patterns that wait for hours.
  bool nearEnough = item.near && item.handedBytes <= options_.waitingCap / 16;
  if (pending <= options_.waitingCap && (nearEnough || !output_.headIsDirect())) return true;
  // Once an item's chunk is the head it stays the head until the item
  // closes it, so this needs no lock.
  if (output_.head() == item.chunk) return true;
  if (!handOver(item)) fail();
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (stopping_.load()) return true;
    if (output_.head() != item.chunk) {
      if (item.near && !nearEnough) {
        // Waits until the output reaches it (headMoved()); pieces are cut
        // nearer the head from now on.
        item.tooFar = true;
        steerNearHeight(false);
      } else {
        item.parked = true;
        parkedCount_.fetch_add(1);
      }
      ++stats_.parks;
      parked_.push_back(&item);
      --running_;
      starved_.store(true);  // asks for work again once the output has caught up
      wake_.notify_all();
      return false;
    }
  }
  patterns_.waitForOutput();
  return true;
}

void Scheduler::runItem(WorkItem& item, Worker& worker) {
  for (;;) {
    if (stopping_.load(std::memory_order_relaxed) ||
        (options_.stop != nullptr && options_.stop->load(std::memory_order_relaxed))) {
      stopping_.store(true);
      finish(item, worker, true);
      break;
    }
    if (splitWanted_.load(std::memory_order_relaxed) || options_.splitAlways) {
      if (options_.splitAlways) splitWanted_.store(true);
      trySplit(item, worker);
    }
    if (options_.exchange != nullptr &&
        (options_.exchange->always || options_.exchange->wanted.load(std::memory_order_relaxed))) {
      giveAway(item);
    }
    if (!mayWait(item)) return;
    Cursor& cursor = *item.levels.back().cursor;
    if (cursor.next >= cursor.end) {
      popLevel(item, worker);
      if (item.levels.empty()) {
        finish(item, worker, false);
        break;
      }
      continue;
    }
    if (!step(item, worker)) {
      fail();
      finish(item, worker, true);
      break;
    }
  }
  std::lock_guard<std::mutex> guard(lock_);
  --running_;
  --items_;
  wake_.notify_all();
}

WorkItem* Scheduler::take() {
  std::unique_lock<std::mutex> guard(lock_);
  for (;;) {
    if (stopping_.load()) {
      for (WorkItem* item : parked_) queueLocked(item);
      parked_.clear();
    }
    if (!queue_.empty()) {
      std::pop_heap(queue_.begin(), queue_.end(), later);
      WorkItem* item = queue_.back();
      queue_.pop_back();
      if (item->parked) {
        item->parked = false;
        parkedCount_.fetch_sub(1);
      }
      item->tooFar = false;
      item->ran = now();
      ++running_;
      queued_.store(static_cast<int>(queue_.size()));
      // Keep a piece ready for the next worker that runs out.
      if (queue_.empty()) splitWanted_.store(true);
      return item;
    }
    if (finished_.load() || (begun_ && running_ == 0 && parked_.empty())) {
      finished_.store(true);
      wake_.notify_all();
      output_.wake();
      return nullptr;
    }
    ++idle_;
    if (helpMayRun()) {
      splitWanted_.store(true);
    } else {
      starved_.store(true);
    }
    double idleFrom = now();
    // A piece is usually given away within microseconds: wait for it
    // awake a little before going to sleep.
    guard.unlock();
    for (int spin = 0; spin < 2000 && queued_.load() == 0 && !finished_.load(); ++spin) {
      __builtin_ia32_pause();
    }
    guard.lock();
    // Whatever came while the lock was let go (work, the end, a stop) was
    // told to no one: look again before sleeping.
    if (queue_.empty() && !finished_.load() && !stopping_.load() &&
        !(begun_ && running_ == 0 && parked_.empty())) {
      wake_.wait(guard);
    }
    stats_.idleSeconds += now() - idleFrom;
    --idle_;
  }
}

void Scheduler::workerLoop(Worker& worker) {
  while (WorkItem* item = take()) {
    worker.stretchFrom = 0;  // the time without work is not the processor's to give
    runItem(*item, worker);
  }
}

// The output moved on: the item whose chunk is now first runs again if it
// was put aside.
void Scheduler::headMoved() {
  // Always under the lock: an item that is being put aside while the head
  // moves to its chunk is either seen here or sees the new head itself.
  std::lock_guard<std::mutex> guard(lock_);
  WorkItem* owner = output_.head()->owner;
  auto at = std::find(parked_.begin(), parked_.end(), owner);
  if (at == parked_.end()) return;
  parked_.erase(at);
  queueLocked(owner);
  wake_.notify_one();
}

// Once help may run again (helpMayRun()), idle workers ask for work again;
// once the waiting patterns are down to half the cap, everything put aside
// may run again. Called by the drainer as it hands patterns on and before
// it waits.
void Scheduler::catchUp() {
  if (starved_.load(std::memory_order_relaxed) && helpMayRun()) {
    starved_.store(false);
    splitWanted_.store(true);
  }
  if (parkedCount_.load() == 0 || output_.pendingBytes() > options_.waitingCap / 2) return;
  std::lock_guard<std::mutex> guard(lock_);
  std::size_t kept = 0;
  for (WorkItem* item : parked_) {
    if (item->tooFar) {
      parked_[kept++] = item;
    } else {
      queueLocked(item);
    }
  }
  parked_.resize(kept);
  wake_.notify_all();
}

bool Scheduler::startWorkers(std::size_t topCandidates) {
  std::size_t count = static_cast<std::size_t>(std::max(1, options_.threads));
  try {
    queue_.reserve(count + 1);  // the first item, and the pieces cut for the others
    parked_.reserve(count + 1);
    // A thread that has started must reach threads_, which joins it: with
    // the room made first, putting it there cannot fail.
    workers_.reserve(count);
    threads_.reserve(count);
    for (std::size_t k = 0; k < count; ++k) {
      workers_.push_back(std::make_unique<Worker>());
      if (!workers_.back()->scratch.open(shared_, topCandidates)) return false;
    }
    for (auto& worker : workers_) {
      auto thread = std::make_unique<SmallThread>();
      Worker* own = worker.get();
      if (!thread->start([this, own] { workerLoop(*own); })) break;
      threads_.push_back(std::move(thread));
    }
  } catch (const std::bad_alloc&) {
  }
  if (threads_.empty()) return false;
  return true;
}

void Scheduler::stopWorkers() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    stopping_.store(true);
    begun_ = true;
    wake_.notify_all();
  }
  for (auto& thread : threads_) thread->join();
  threads_.clear();
}

SearchOutcome Scheduler::run(FrameData* top) {
  Chunk* first = output_.first();
  WorkItem* item = new (std::nothrow) WorkItem;
  Cursor* cursor = new (std::nothrow) Cursor;
  if (first == nullptr || item == nullptr || cursor == nullptr ||
      !openCursor(*cursor, *top, 0, topCandidatesSearched(shared_.conditions, *top)) ||
      (!top->pattern.empty() && handsOver(shared_.conditions, *top) &&
       !recordPattern(*item, top->pattern.data(), static_cast<int>(top->pattern.size()),
                      top->support))) {
    delete item;
    delete cursor;
    delete top;
    return SearchOutcome::kOutOfMemory;
  }
  top->references.store(1);
  if (options_.progress != nullptr) options_.progress->topEdges.store(top->candidateCount());
  if (!pushLevel(*item, ItemLevel{top, cursor, nullptr})) {
    delete item;
    delete cursor;
    delete top;
    return SearchOutcome::kOutOfMemory;
  }
  return searchFrom(item);
}

SearchOutcome Scheduler::runUnit(FrameData& top, const WorkUnit& unit) {
  WorkItem* item = nullptr;
  SearchOutcome started = output_.first() == nullptr ? SearchOutcome::kOutOfMemory
                                                     : startUnit(top, shared_, unit, &item);
  if (started != SearchOutcome::kComplete) return started;
  bool whole = unit.path.empty() && unit.start == 0;
  if (whole && !top.pattern.empty() && handsOver(shared_.conditions, top) &&
      !recordPattern(*item, top.pattern.data(), static_cast<int>(top.pattern.size()),
                     top.support)) {
    discardItem(item);
    return SearchOutcome::kOutOfMemory;
  }
  return searchFrom(item);
}

// Queues the first piece of work and hands the patterns on, in order.
SearchOutcome Scheduler::searchFrom(WorkItem* item) {
  Chunk* first = output_.first();
  item->chunk = first;
  first->owner = item;
  {
    std::lock_guard<std::mutex> guard(lock_);
    ++items_;
    queue_.push_back(item);  // room made in startWorkers()
    begun_ = true;
    wake_.notify_all();
  }
  bool complete = output_.drain(
      [this](const int* record, std::size_t* used) {
        if (!patterns_.deliver(record, used)) {
          patterns_.stopForSink();
          return false;
        }
        catchUp();
        return true;
      },
      [this] {
        return (options_.stop != nullptr && options_.stop->load(std::memory_order_relaxed)) ||
               (stopping_.load() && !failed_.load());
      },
      [this] { headMoved(); }, [this] { catchUp(); });
  if (!complete) stopping_.store(true);
  double searched = now();
  stopWorkers();
  if (options_.stats != nullptr) {
    *options_.stats = stats_;
    options_.stats->searchSeconds = searched;
    options_.stats->mostWaitingBytes = output_.mostPendingBytes();
  }
  if (failed_.load()) return SearchOutcome::kOutOfMemory;
  if (!complete || patterns_.sinkStopped()) return SearchOutcome::kStopped;
  return SearchOutcome::kComplete;
}

SearchOutcome searchInParallel(EdgeDatabase& database, int minSup, ClosedSetSink& sink,
                               const ParallelOptions& options) {
  SearchShared shared;
  setSearchSettings(shared, minSup, options.threads, options.policy, options.vectorRows,
                    options.stop, options.conditions);
  Scheduler scheduler(options, shared, sink);
  if (!scheduler.startWorkers(static_cast<std::size_t>(database.edgeCount))) {
    return SearchOutcome::kNoThreads;
  }
  std::unique_ptr<FrameData> top(new (std::nothrow) FrameData);
  bool opened = false;
  try {
    opened = top != nullptr && openTopFrame(database, *top, shared);
  } catch (const std::bad_alloc&) {  // the pair count's lists
  }
  database = EdgeDatabase{};
  if (!opened) return SearchOutcome::kOutOfMemory;
  return scheduler.run(top.release());
}

SearchOutcome searchUnitInParallel(FrameData& top, const SearchShared& shared, const WorkUnit& unit,
                                   ClosedSetSink& sink, const ParallelOptions& options) {
  Scheduler scheduler(options, shared, sink);
  if (!scheduler.startWorkers(static_cast<std::size_t>(top.candidateCount()))) {
    return SearchOutcome::kNoThreads;
  }
  return scheduler.runUnit(top, unit);
}

}  // namespace tavrel::parallel
