// When and where the parallel search cuts its work: watching whether the
// workers get the processor, cutting a piece off a busy item for an idle
// worker, and giving a piece away to another process.
#include <time.h>

#include "parallel/pattern_records.h"
#include "parallel/scheduler.h"
#include "parallel/unit_start.h"
#include "search/extension_step.h"

namespace tavrel::parallel {

namespace {

// The processor time of the calling thread, in microseconds.
long long threadMicros() {
  struct timespec used {};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &used);
  return static_cast<long long>(used.tv_sec) * 1000000 + used.tv_nsec / 1000;
}

}  // namespace

// Looks, every few hundred steps, at how much of the last 50 ms or more
// the worker spent on a processor while it had work. Under three quarters,
// the cores are busy with more than the search (writing the output, its
// reader, other programs) or the worker waited for the output: pieces cut
// close behind the head's work would only take processor time from the
// rest and add patterns that wait, so none are cut for a second (measured
// on long strings: bench/NOTES.md, "Parallel search").
void Scheduler::watchProcessor(Worker& worker) {
  constexpr long long kStretch = 50;  // milliseconds
  worker.stepsToLook = 256;
  long long now = coarseMilliseconds();
  if (worker.stretchFrom != 0 && now - worker.stretchFrom < kStretch) return;
  long long cpu = threadMicros();
  if (worker.stretchFrom != 0 && (cpu - worker.cpuFrom) * 4 < (now - worker.stretchFrom) * 3000) {
    crowdedUntil_.store(now + 1000, std::memory_order_relaxed);
  }
  worker.stretchFrom = now;
  worker.cpuFrom = cpu;
}

void Scheduler::trySplit(WorkItem& item, Worker& worker) {
  bool nearHelp = output_.pendingBytes() > options_.waitingCap / 2;
  if (nearHelp && (output_.head() != item.chunk ||  // left for the head's item to cut
                   coarseMilliseconds() < crowdedUntil_.load(std::memory_order_relaxed))) {
    return;
  }
  if (!splitWanted_.exchange(false)) return;
  if (!helpMayRun()) {
    starved_.store(true);
    return;
  }
  std::size_t depth = item.levels.size();
  std::size_t chosen = nearHelp ? nearLevel(item, nearHeight_.load(std::memory_order_relaxed))
                                : splittableLevel(item);
  if (chosen == depth) {
    splitWanted_.store(true);  // someone else may have work to give
    return;
  }
  ItemLevel& level = item.levels[chosen];
  Cursor& cursor = *level.cursor;
  int mid = nearHelp ? nearStart(item, chosen) : cursor.next + (cursor.end - cursor.next) / 2;
  bool room;
  {
    std::lock_guard<std::mutex> guard(lock_);
    room = roomForItemLocked();
  }
  WorkItem* thief = room ? new (std::nothrow) WorkItem : nullptr;
  Cursor* range = thief != nullptr ? worker.pool.takeCursor() : nullptr;
  if (thief == nullptr || range == nullptr || !openCursor(*range, *level.frame, mid, cursor.end) ||
      !takePrefix(*thief, item, chosen)) {
    delete thief;
    if (range != nullptr) worker.pool.keepCursor(range);
    fail();
    return;
  }
  thief->chunk = chunkForSplit(item, chosen);
  if (thief->chunk == nullptr) {
    worker.pool.keepCursor(range);
    delete thief;
    fail();
    return;
  }
  cursor.end = mid;
  acquire(level.frame);
  holdBase(level.frame);
  thief->levels.push_back(ItemLevel{level.frame, range, nullptr});  // room made by takePrefix()
  thief->chunk->owner = thief;
  thief->near = nearHelp;
  thief->began = now();
  std::lock_guard<std::mutex> guard(lock_);
  ++stats_.splits;
  queueLocked(thief);
  if (idle_ > static_cast<int>(queue_.size())) splitWanted_.store(true);
  wake_.notify_one();
}

// A chunk for the part of level `chosen`'s range that leaves the item,
// right after everything the item will still write at that depth (after
// the continuations of the levels below); the level gets a chunk to go on
// in after it when it has none yet. nullptr when memory ran out.
Chunk* Scheduler::chunkForSplit(WorkItem& item, std::size_t chosen) {
  Chunk* active = item.chunk;
  for (std::size_t k = chosen + 1; k < item.levels.size(); ++k) {
    if (item.levels[k].continuation != nullptr) {
      active = item.levels[k].continuation;
      break;
    }
  }
  Chunk* piece = output_.insertAfter(active);
  if (piece == nullptr) return nullptr;
  ItemLevel& level = item.levels[chosen];
  if (level.continuation == nullptr) {
    level.continuation = output_.insertAfter(piece);
    if (level.continuation == nullptr) {
      piece->close(true);
      return nullptr;
    }
    level.continuation->owner = &item;
  }
  return piece;
}

// Hands the upper half of the untaken part of the item's shallowest range
// that can be cut to the exchange, when it wants a piece (or always), and
// leaves its mark in the output where the piece's patterns belong.
void Scheduler::giveAway(WorkItem& item) {
  WorkExchange& exchange = *options_.exchange;
  std::size_t chosen = splittableLevel(item);
  if (chosen == item.levels.size()) return;
  bool asked = exchange.wanted.exchange(false);
  if (!asked && !exchange.always) return;
  Cursor& cursor = *item.levels[chosen].cursor;
  WorkUnit unit;
  try {
    unit.path = item.prefix;
    for (std::size_t k = 0; k < chosen; ++k) unit.path.push_back(item.levels[k].cursor->next - 1);
  } catch (const std::bad_alloc&) {
    fail();
    return;
  }
  Chunk* hole = chunkForSplit(item, chosen);
  if (hole == nullptr) {
    fail();
    return;
  }
  unit.start = cursor.next + (cursor.end - cursor.next) / 2;
  unit.end = cursor.end;
  cursor.end = unit.start;
  int id = 0;
  try {
    id = exchange.give(unit, asked);
  } catch (const std::bad_alloc&) {
    fail();  // the piece is lost with the run
  }
  int mark[kPieceMarkInts];
  writePieceMark(mark, id);
  if (!hole->append(mark, kPieceMarkInts)) fail();
  hole->close(false);
}

}  // namespace tavrel::parallel
