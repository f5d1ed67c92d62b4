#include "parallel/parallel_search.h"

#include <time.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "base/small_thread.h"
#include "parallel/ordered_output.h"
#include "search/extension_step.h"
#include "search/search_frame.h"
#include "search/top_frame.h"

namespace tavrel::parallel {

// How the work is shared.
//
// A piece of work (a WorkItem) is a range of one frame's candidates, taken
// in order, each with the subtree below it; the item keeps the frames it
// opens below on a stack of its own. The top frame's whole range is the
// first item. When a worker has nothing to do, a busy item gives away the
// upper half of the untaken part of one of its ranges: a new item over the
// same frame, whose cursor starts there (see extend() for what a step
// does about the candidates before its range). Frames are shared by
// reference counts; they do not change once made.
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
// its frame, and its chunk holds only a mark, {0, id}, where its patterns
// belong. A search of such a unit makes the frames on its path again and
// starts with one item whose levels are the path's, each over the one
// step taken there.

namespace {

// A record that is no pattern: the top-level edge whose subtree's patterns
// follow (for the progress display).
constexpr int kTopEdgeMark = INT_MIN;

// A text record's first int: minus one more than the text's length in
// bytes (an empty text must not read as 0, a mark), for lengths below
// INT_MAX.
int textRecordHeader(std::size_t size) { return -static_cast<int>(size) - 1; }
std::size_t textRecordSize(int header) { return static_cast<std::size_t>(-(header + 1)); }

struct Level {
  FrameData* frame = nullptr;
  Cursor* cursor = nullptr;
  Chunk* continuation = nullptr;  // where the item writes once done with this level's range
};

}  // namespace

// On cache lines of its own: written at every pattern by the worker that
// runs it, which need not be the one from whose heap it came.
struct alignas(64) WorkItem {
  std::vector<int> prefix;  // the steps above the item's first level
  std::vector<Level> levels;
  Chunk* chunk = nullptr;
  // Patterns found but not yet in the chunk, as records, and when they
  // were last handed to it (coarse milliseconds).
  Buffer<int> pending;
  long long handedAt = 0;
  bool parked = false;
  bool near = false;            // cut off the head's work, close behind it (see nearLevel())
  bool tooFar = false;          // put aside as a near piece whose patterns waited too long
  std::size_t handedBytes = 0;  // patterns handed to chunks that were not direct
  double began = 0;
  double ran = 0;  // when a worker took it last
  long long patterns = 0;

  // Where the item stands in output order, a sequence compared
  // lexicographically: the steps of the prefix, the step taken at each
  // level above the deepest, and the candidate the deepest takes next.
  std::size_t keyLength() const { return prefix.size() + levels.size(); }
  int keyAt(std::size_t k) const {
    if (k < prefix.size()) return prefix[k];
    k -= prefix.size();
    int next = levels[k].cursor->next;
    return k + 1 < levels.size() ? next - 1 : next;
  }
};

namespace {

// Adds a level to the item; false when memory ran out (the item is left
// as it was).
bool pushLevel(WorkItem& item, const Level& level) {
  try {
    item.levels.push_back(level);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// Gives `thief` the steps above level `chosen` of `item` as its prefix,
// and room for its one level. False when memory ran out.
bool takePrefix(WorkItem& thief, const WorkItem& item, std::size_t chosen) {
  try {
    thief.prefix.reserve(item.prefix.size() + chosen);
    thief.prefix = item.prefix;
    for (std::size_t k = 0; k < chosen; ++k) {
      thief.prefix.push_back(item.levels[k].cursor->next - 1);
    }
    thief.levels.reserve(1);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// The order of the queue's heap: true when `b` comes before `a` in the
// output. Allocates nothing, so a heap operation cannot fail half-way.
bool later(WorkItem* a, WorkItem* b) {
  std::size_t common = std::min(a->keyLength(), b->keyLength());
  for (std::size_t k = 0; k < common; ++k) {
    int stepA = a->keyAt(k), stepB = b->keyAt(k);
    if (stepA != stepB) return stepB < stepA;
  }
  return b->keyLength() < a->keyLength();
}

// The item's shallowest level, which holds the most work, whose untaken
// range holds two candidates or more; levels.size() when there is none.
std::size_t splittableLevel(const WorkItem& item) {
  std::size_t depth = item.levels.size();
  for (std::size_t at = 0; at < depth; ++at) {
    const Cursor& cursor = *item.levels[at].cursor;
    if (cursor.end - cursor.next >= 2) return at;
  }
  return depth;
}

// Where a piece close behind the item's current work starts in level
// `at`'s range: right after the candidate whose subtree the item is in,
// or, at the deepest level, after the candidate it takes next. -1 when
// nothing of the range would be left to cut off.
int nearStart(const WorkItem& item, std::size_t at) {
  const Cursor& cursor = *item.levels[at].cursor;
  int start = at + 1 < item.levels.size() ? cursor.next : cursor.next + 1;
  return start < cursor.end ? start : -1;
}

// The level from which to cut a piece close behind the item's current
// work: the one `height` levels above the deepest, or the closest one
// above it that has something to cut off, else below it;
// levels.size() when there is none. The piece's patterns follow the
// subtree the item is in at that level: the deeper the level, the sooner
// they come, and the smaller the piece.
std::size_t nearLevel(const WorkItem& item, int height) {
  std::size_t depth = item.levels.size();
  std::size_t aim = depth > static_cast<std::size_t>(height) + 1 ? depth - 1 - height : 0;
  for (std::size_t at = aim + 1; at-- > 0;) {
    if (nearStart(item, at) >= 0) return at;
  }
  for (std::size_t at = aim + 1; at < depth; ++at) {
    if (nearStart(item, at) >= 0) return at;
  }
  return depth;
}

// The processor time of the calling thread, in microseconds.
long long threadMicros() {
  struct timespec used {};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &used);
  return static_cast<long long>(used.tv_sec) * 1000000 + used.tv_nsec / 1000;
}

// A clock that is cheap to read, to a few milliseconds.
long long coarseMilliseconds() {
  struct timespec now {};
  clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// A worker's own memory: scratch, and frames and cursors to use again.
// Written at every step by its thread alone, on cache lines of its own
// (two workers side by side in the heap made each step a cache miss).
struct alignas(64) Worker {
  SearchScratch scratch;
  std::vector<FrameData*> freeFrames;
  std::vector<Cursor*> freeCursors;
  FrameData* spare = nullptr;  // the frame the next step writes its child into
  // watchProcessor()'s stretch: steps until the next look, and when the
  // stretch began (coarseMilliseconds(), 0: not yet) with the worker's
  // processor time then (threadMicros()).
  int stepsToLook = 0;
  long long stretchFrom = 0;
  long long cpuFrom = 0;

  ~Worker() {
    delete spare;
    for (FrameData* frame : freeFrames) delete frame;
    for (Cursor* cursor : freeCursors) delete cursor;
  }
  // Keeps a frame or a cursor to use again; frees it when the list
  // cannot grow, so that no allocation failure escapes.
  void keepFrame(FrameData* frame) {
    try {
      freeFrames.push_back(frame);
    } catch (const std::bad_alloc&) {
      delete frame;
    }
  }
  void keepCursor(Cursor* cursor) {
    try {
      freeCursors.push_back(cursor);
    } catch (const std::bad_alloc&) {
      delete cursor;
    }
  }
  FrameData* takeFrame() {
    if (spare != nullptr) return spare;
    if (!freeFrames.empty()) {
      spare = freeFrames.back();
      freeFrames.pop_back();
    } else {
      spare = new (std::nothrow) FrameData;
    }
    return spare;
  }
  Cursor* takeCursor() {
    if (freeCursors.empty()) return new (std::nothrow) Cursor;
    Cursor* cursor = freeCursors.back();
    freeCursors.pop_back();
    return cursor;
  }
};

void acquire(const FrameData* frame) {
  const_cast<FrameData*>(frame)->references.fetch_add(1, std::memory_order_relaxed);
}

// A vertical frame works on the row sets of its base, an ancestor. While
// the frame stands on one item's levels only, the levels below it keep the
// base; before another item takes the frame (and may keep it after those
// levels are gone), the frame takes a reference to the base, once. A
// reference taken at every step instead made two threads in one base's
// subtree write the base's count at every step, each write a cache miss
// for the other.
void holdBase(const FrameData* frame) {
  if (!frame->vertical || frame->view.baseFrame == frame) return;
  if (!frame->holdsBase.exchange(true, std::memory_order_relaxed)) acquire(frame->view.baseFrame);
}

// The base a frame holds a reference to, or nullptr.
const FrameData* heldBase(const FrameData* frame) {
  return frame->holdsBase.load(std::memory_order_relaxed) ? frame->view.baseFrame : nullptr;
}

class Engine {
 public:
  Engine(const ParallelOptions& options, const SearchShared& shared, ClosedSetSink& sink)
      : options_(options), shared_(shared), sink_(sink) {}

  ~Engine() { stopWorkers(); }

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
  // True when the item's chunk is direct and nothing of the item waits:
  // what it finds now goes straight to the sink.
  static bool writesDirectly(const WorkItem& item) {
    return item.pending.empty() && item.chunk->direct();
  }
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
  // Hands the item's pending records on to the sink, in order; drops them
  // once the sink has asked to stop.
  void handOnDirectly(WorkItem& item);
  // Hands one record on (a pattern, or a mark); sets the ints it used.
  // False when the sink asks to stop.
  bool deliver(const int* record, std::size_t* used);
  // The sink asked to stop: nothing more reaches it, and the run ends.
  void stopForSink() {
    sinkStopped_.store(true);
    stopping_.store(true);
    output_.wake();
  }
  void release(const FrameData* frame, Worker& worker);
  void finish(WorkItem& item, Worker& worker, bool cut);
  void trySplit(WorkItem& item, Worker& worker);
  void giveAway(WorkItem& item);
  Chunk* chunkForSplit(WorkItem& item, std::size_t chosen);
  SearchOutcome searchFrom(WorkItem* item);
  bool mayWait(WorkItem& item);
  void waitForOutput();
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
  // made that splitting took most of both cores: two threads wrote half as
  // many patterns a second as one.) But while the head is direct, what
  // waits waits for the head's work alone, which a piece of it shortens
  // (nearLevel()): resting then left one worker to finish a long item
  // alone (sign at 150 on two threads now and then took as long as on
  // one; fifa at 3000 for hours).
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
  long long splits_ = 0;
  long long parks_ = 0;
  double idleSeconds_ = 0;
  bool begun_ = false;  // the first piece of work has been queued
  bool finished_ = false;
  std::vector<std::unique_ptr<Worker>> workers_;
  std::vector<std::unique_ptr<SmallThread>> threads_;
  std::atomic<int> parkedCount_{0};
  std::atomic<int> queued_{0};  // the queue's size, read without the lock
  std::atomic<bool> finished_flag_{false};
  std::atomic<bool> splitWanted_{false};
  std::atomic<int> nearHeight_{0};          // see nearLevel() and steerNearHeight()
  std::atomic<long long> crowdedUntil_{0};  // see watchProcessor()
  std::atomic<bool> starved_{false};        // an idle worker asked for no work: too much waited
  std::atomic<bool> stopping_{false};
  std::atomic<bool> failed_{false};
  std::atomic<bool> sinkStopped_{false};
};

void Engine::release(const FrameData* frame, Worker& worker) {
  if (frame->references.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
  const FrameData* base = heldBase(frame);
  worker.keepFrame(const_cast<FrameData*>(frame));
  if (base != nullptr) release(base, worker);
}

bool Engine::recordPattern(WorkItem& item, const int* edges, int length, int support) {
  std::size_t bound = sink_.textBound(length);
  if (bound == 0) {
    std::size_t size = 2 + static_cast<std::size_t>(length);
    if (!item.pending.reserve(item.pending.size() + size)) return false;
    item.pending.push(support);
    item.pending.push(length);
    item.pending.append(edges, static_cast<std::size_t>(length));
    return true;
  }
  // A text record: its header (see textRecordHeader()), then the bytes.
  std::size_t at = item.pending.size();
  std::size_t room = 1 + (bound + sizeof(int) - 1) / sizeof(int);
  if (!item.pending.resize(at + room)) return false;
  char* text = reinterpret_cast<char*>(item.pending.data() + at + 1);
  std::size_t size = sink_.writeText(edges, length, support, text);
  if (size == ClosedSetSink::kTextFailed || size >= static_cast<std::size_t>(INT_MAX)) return false;
  item.pending[at] = textRecordHeader(size);
  item.pending.resize(at + 1 + (size + sizeof(int) - 1) / sizeof(int));
  return true;
}

bool Engine::takePattern(WorkItem& item, const int* edges, int length, int support) {
  if (writesDirectly(item)) {
    if (!sinkStopped_.load(std::memory_order_relaxed) && !sink_.take(edges, length, support)) {
      stopForSink();
    }
    return true;
  }
  return recordPattern(item, edges, length, support) && handOverSoon(item);
}

bool Engine::handOver(WorkItem& item) {
  item.handedAt = coarseMilliseconds();
  if (item.pending.empty()) return true;
  std::size_t bytes = item.pending.size() * sizeof(int);
  Chunk::Taken taken = item.chunk->take(item.pending);
  if (taken == Chunk::Taken::kTaken) item.handedBytes += bytes;
  if (taken == Chunk::Taken::kDirect) handOnDirectly(item);
  item.pending.clear();
  return taken != Chunk::Taken::kOutOfMemory;
}

void Engine::handOnDirectly(WorkItem& item) {
  const int* record = item.pending.data();
  const int* end = record + item.pending.size();
  while (record < end && !sinkStopped_.load(std::memory_order_relaxed)) {
    std::size_t used = 0;
    if (!deliver(record, &used)) stopForSink();
    record += used;
  }
}

bool Engine::deliver(const int* record, std::size_t* used) {
  if (record[0] == kTopEdgeMark) {
    options_.progress->topEdgesReached.store(record[1], std::memory_order_relaxed);
    *used = 2;
    return true;
  }
  if (record[0] < 0) {
    std::size_t size = textRecordSize(record[0]);
    *used = 1 + (size + sizeof(int) - 1) / sizeof(int);
    return sink_.takeText(reinterpret_cast<const char*>(record + 1), size);
  }
  if (record[0] == 0) {  // the place of a piece given away
    *used = 2;
    return options_.exchange->reached(record[1]);
  }
  *used = 2 + static_cast<std::size_t>(record[1]);
  return sink_.take(record + 2, record[1], record[0]);
}

bool Engine::handOverSoon(WorkItem& item) {
  constexpr std::size_t kBatch = 32768;  // ints: patterns are handed over in blocks of 128 KB
  constexpr long long kHeadWait = 5;     // ms the first patterns of the output may wait
  if (item.chunk->direct()) return handOver(item);
  bool head = output_.head() == item.chunk;
  if (item.pending.size() < kBatch &&
      !(head && coarseMilliseconds() - item.handedAt >= kHeadWait)) {
    return true;
  }
  if (!handOver(item)) return false;
  // Only a hand-over adds to what the head's work has waiting: this is
  // where it waits when too much does (see mayWait()).
  if (head && output_.pendingBytes() > options_.waitingCap) waitForOutput();
  return true;
}

void Engine::popLevel(WorkItem& item, Worker& worker) {
  Level level = item.levels.back();
  item.levels.pop_back();
  if (level.continuation != nullptr) {
    if (!handOver(item)) fail();
    item.chunk->close(false);
    item.chunk = level.continuation;
    item.near = false;  // what it goes on with comes after the pieces cut from it
  }
  worker.keepCursor(level.cursor);
  release(level.frame, worker);
}

void Engine::finish(WorkItem& item, Worker& worker, bool cut) {
  if (!handOver(item)) {
    fail();
    cut = true;
  }
  item.chunk->close(cut);
  while (!item.levels.empty()) {
    Chunk* continuation = item.levels.back().continuation;
    if (continuation != nullptr) continuation->close(cut);
    Level level = item.levels.back();
    item.levels.pop_back();
    worker.keepCursor(level.cursor);
    release(level.frame, worker);
  }
  if (item.near && !cut && now() - item.ran < 0.002) steerNearHeight(true);
  if (options_.onWorkDone && !cut) options_.onWorkDone(item.began, now(), item.patterns);
  delete &item;
}

// One step of the item's deepest level; false when the search must stop.
bool Engine::step(WorkItem& item, Worker& worker) {
  if (--worker.stepsToLook < 0) watchProcessor(worker);
  Level& level = item.levels.back();
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
  FrameData* child = worker.takeFrame();
  if (child == nullptr) return false;
  StepResult result = extend(cursor, i, *child, worker.scratch);
  finishStep(cursor, i);
  if (result == StepResult::kOutOfMemory) return false;
  if (result == StepResult::kRejected) return true;
  if (!takePattern(item, child->pattern.data(), static_cast<int>(child->pattern.size()),
                   child->support)) {
    return false;
  }
  ++item.patterns;
  if (result == StepResult::kLeaf) return true;
  Cursor* below = worker.takeCursor();
  if (below == nullptr) return false;
  if (!openCursor(*below, *child, 0, child->candidateCount()) ||
      !pushLevel(item, Level{child, below, nullptr})) {
    worker.keepCursor(below);
    return false;
  }
  child->references.store(1, std::memory_order_relaxed);
  child->holdsBase.store(false, std::memory_order_relaxed);  // the levels below keep its base
  worker.spare = nullptr;
  return true;
}

// Looks, every few hundred steps, at how much of the last 50 ms or more
// the worker spent on a processor while it had work. Under three quarters,
// the cores are busy with more than the search (writing the output, its
// reader, other programs) or the worker waited for the output: pieces cut
// close behind the head's work would only take processor time from the
// rest and add patterns that wait, so none are cut for a second. (Long
// strings whose patterns take 40 KB of text each, written through a pipe
// at a gigabyte a second: two threads wrote a fifth fewer patterns than
// without such pieces, and kept up to the whole cap waiting.)
void Engine::watchProcessor(Worker& worker) {
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

void Engine::trySplit(WorkItem& item, Worker& worker) {
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
  Level& level = item.levels[chosen];
  Cursor& cursor = *level.cursor;
  int mid = nearHelp ? nearStart(item, chosen) : cursor.next + (cursor.end - cursor.next) / 2;
  bool room;
  {
    std::lock_guard<std::mutex> guard(lock_);
    room = roomForItemLocked();
  }
  WorkItem* thief = room ? new (std::nothrow) WorkItem : nullptr;
  Cursor* range = thief != nullptr ? worker.takeCursor() : nullptr;
  if (thief == nullptr || range == nullptr || !openCursor(*range, *level.frame, mid, cursor.end) ||
      !takePrefix(*thief, item, chosen)) {
    delete thief;
    if (range != nullptr) worker.keepCursor(range);
    fail();
    return;
  }
  thief->chunk = chunkForSplit(item, chosen);
  if (thief->chunk == nullptr) {
    worker.keepCursor(range);
    delete thief;
    fail();
    return;
  }
  cursor.end = mid;
  acquire(level.frame);
  holdBase(level.frame);
  thief->levels.push_back(Level{level.frame, range, nullptr});  // room made by takePrefix()
  thief->chunk->owner = thief;
  thief->near = nearHelp;
  thief->began = now();
  std::lock_guard<std::mutex> guard(lock_);
  ++splits_;
  queueLocked(thief);
  if (idle_ > static_cast<int>(queue_.size())) splitWanted_.store(true);
  wake_.notify_one();
}

// A chunk for the part of level `chosen`'s range that leaves the item,
// right after everything the item will still write at that depth (after
// the continuations of the levels below); the level gets a chunk to go on
// in after it when it has none yet. nullptr when memory ran out.
Chunk* Engine::chunkForSplit(WorkItem& item, std::size_t chosen) {
  Chunk* active = item.chunk;
  for (std::size_t k = chosen + 1; k < item.levels.size(); ++k) {
    if (item.levels[k].continuation != nullptr) {
      active = item.levels[k].continuation;
      break;
    }
  }
  Chunk* piece = output_.insertAfter(active);
  if (piece == nullptr) return nullptr;
  Level& level = item.levels[chosen];
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
void Engine::giveAway(WorkItem& item) {
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
  int mark[2] = {0, 0};
  try {
    mark[1] = exchange.give(unit, asked);
  } catch (const std::bad_alloc&) {
    fail();  // the piece is lost with the run
  }
  if (!hole->append(mark, 2)) fail();
  hole->close(false);
}

// True when the item may go on: its patterns come next, or not too many
// wait. Otherwise it is put aside (parked) until they have caught up. The
// item whose patterns come next is never put aside; when too many wait
// even so, the output is read more slowly than it is made, and it waits
// for the reader (waitForOutput()) each time it hands a batch over
// (handOverSoon()), not at every step: handing over a pattern or two at
// every step woke the thread that keeps the order for each of them.
bool Engine::mayWait(WorkItem& item) {
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
      ++parks_;
      parked_.push_back(&item);
      --running_;
      starved_.store(true);  // asks for work again once the output has caught up
      wake_.notify_all();
      return false;
    }
  }
  waitForOutput();
  return true;
}

// Waits, as the work of the head chunk, until the head's patterns not yet
// handed on are down to a quarter of the cap, or the run stops. (Patterns of later
// chunks only go once the head's work has ended: waiting for them would
// never end.)
void Engine::waitForOutput() {
  while (output_.unhandedAtHead() > options_.waitingCap / 4 && !stopping_.load() &&
         !(options_.stop != nullptr && options_.stop->load(std::memory_order_relaxed))) {
    output_.wake();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void Engine::runItem(WorkItem& item, Worker& worker) {
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

WorkItem* Engine::take() {
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
    if (finished_ || (begun_ && running_ == 0 && parked_.empty())) {
      finished_ = true;
      finished_flag_.store(true);
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
    for (int spin = 0; spin < 2000 && queued_.load() == 0 && !finished_flag_.load(); ++spin) {
      __builtin_ia32_pause();
    }
    guard.lock();
    // Whatever came while the lock was let go (work, the end, a stop) was
    // told to no one: look again before sleeping.
    if (queue_.empty() && !finished_ && !stopping_.load() &&
        !(begun_ && running_ == 0 && parked_.empty())) {
      wake_.wait(guard);
    }
    idleSeconds_ += now() - idleFrom;
    --idle_;
  }
}

void Engine::workerLoop(Worker& worker) {
  while (WorkItem* item = take()) {
    worker.stretchFrom = 0;  // the time without work is not the processor's to give
    runItem(*item, worker);
  }
}

// The output moved on: the item whose chunk is now first runs again if it
// was put aside.
void Engine::headMoved() {
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
void Engine::catchUp() {
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

bool Engine::startWorkers(std::size_t topCandidates) {
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

void Engine::stopWorkers() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    stopping_.store(true);
    begun_ = true;
    wake_.notify_all();
  }
  for (auto& thread : threads_) thread->join();
  threads_.clear();
}

SearchOutcome Engine::run(FrameData* top) {
  Chunk* first = output_.first();
  WorkItem* item = new (std::nothrow) WorkItem;
  Cursor* cursor = new (std::nothrow) Cursor;
  if (first == nullptr || item == nullptr || cursor == nullptr ||
      !openCursor(*cursor, *top, 0, top->candidateCount()) ||
      (!top->pattern.empty() &&
       !recordPattern(*item, top->pattern.data(), static_cast<int>(top->pattern.size()),
                      top->support))) {
    delete item;
    delete cursor;
    delete top;
    return SearchOutcome::kOutOfMemory;
  }
  top->references.store(1);
  if (options_.progress != nullptr) options_.progress->topEdges.store(top->candidateCount());
  if (!pushLevel(*item, Level{top, cursor, nullptr})) {
    delete item;
    delete cursor;
    delete top;
    return SearchOutcome::kOutOfMemory;
  }
  return searchFrom(item);
}

// Frees a frame made for a unit's path that never reached the workers,
// with what it holds of the frames above it.
void discardFrame(const FrameData* frame) {
  if (frame->references.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
  const FrameData* base = heldBase(frame);
  delete frame;
  if (base != nullptr) discardFrame(base);
}

SearchOutcome Engine::runUnit(FrameData& top, const WorkUnit& unit) {
  SearchScratch scratch;
  WorkItem* item = new (std::nothrow) WorkItem;
  bool room = item != nullptr && output_.first() != nullptr &&
              scratch.open(shared_, static_cast<std::size_t>(top.candidateCount()));
  bool valid = true;
  FrameData* pending = &top;  // held, not yet on a level
  acquire(pending);
  // Each level of the path over its one step, then the unit's range.
  for (std::size_t k = 0; room && valid; ++k) {
    FrameData* frame = pending;
    bool last = k == unit.path.size();
    int from = last ? unit.start : unit.path[k];
    int end = last ? unit.end : from + 1;
    valid = from >= 0 && from <= end && end <= frame->candidateCount();
    Cursor* cursor = valid ? new (std::nothrow) Cursor : nullptr;
    room = !valid || (cursor != nullptr && openCursor(*cursor, *frame, from, end));
    room = room && (!valid || pushLevel(*item, Level{frame, cursor, nullptr}));
    if (!valid || !room) {
      delete cursor;
      break;
    }
    pending = nullptr;
    if (last) break;
    FrameData* child = new (std::nothrow) FrameData;
    cursor->next = from + 1;
    StepResult result =
        child == nullptr ? StepResult::kOutOfMemory : extend(*cursor, from, *child, scratch);
    finishStep(*cursor, from);
    room = result != StepResult::kOutOfMemory;
    valid = result == StepResult::kChild;
    if (!room || !valid) {
      delete child;
      break;
    }
    child->references.store(1, std::memory_order_relaxed);
    holdBase(child);
    pending = child;
  }
  if (pending != nullptr) discardFrame(pending);
  bool whole = unit.path.empty() && unit.start == 0;
  if (room && valid && whole && !top.pattern.empty()) {
    room =
        recordPattern(*item, top.pattern.data(), static_cast<int>(top.pattern.size()), top.support);
  }
  if (room && valid) return searchFrom(item);
  if (item != nullptr) {
    for (auto level = item->levels.rbegin(); level != item->levels.rend(); ++level) {
      delete level->cursor;
      discardFrame(level->frame);
    }
  }
  delete item;
  return room ? SearchOutcome::kFailed : SearchOutcome::kOutOfMemory;
}

// Queues the first piece of work and hands the patterns on, in order.
SearchOutcome Engine::searchFrom(WorkItem* item) {
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
        if (!deliver(record, used)) {
          stopForSink();
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
    options_.stats->splits = splits_;
    options_.stats->parks = parks_;
    options_.stats->idleSeconds = idleSeconds_;
    options_.stats->searchSeconds = searched;
  }
  if (failed_.load()) return SearchOutcome::kOutOfMemory;
  if (!complete || sinkStopped_.load()) return SearchOutcome::kStopped;
  return SearchOutcome::kComplete;
}

}  // namespace

SearchOutcome searchInParallel(EdgeDatabase& database, int minSup, ClosedSetSink& sink,
                               const ParallelOptions& options) {
  SearchShared shared;
  shared.minSup = minSup;
  shared.threads = std::max(1, options.threads);
  shared.policy = options.policy;
  shared.vectorRows = shared.vectorRows && options.vectorRows;
  shared.stop = options.stop;
  Engine engine(options, shared, sink);
  if (!engine.startWorkers(static_cast<std::size_t>(database.edgeCount))) {
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
  return engine.run(top.release());
}

SearchOutcome searchUnitInParallel(FrameData& top, const SearchShared& shared, const WorkUnit& unit,
                                   ClosedSetSink& sink, const ParallelOptions& options) {
  Engine engine(options, shared, sink);
  if (!engine.startWorkers(static_cast<std::size_t>(top.candidateCount()))) {
    return SearchOutcome::kNoThreads;
  }
  return engine.runUnit(top, unit);
}

}  // namespace tavrel::parallel
