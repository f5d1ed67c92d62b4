// The patterns of a parallel search, put back in the order of the search
// on one thread. Each piece of work writes its patterns into a chunk of
// its own; the chunks stand in a list in output order, and one thread (the
// drainer) hands them on from the front as they come. When work is split,
// the new piece's chunk goes into the list right where its patterns
// belong.
//
// Once the drainer has handed on everything of the head chunk that is
// still open, it lets the chunk's writer hand its patterns on itself
// (the chunk turns direct) and waits for the chunk to close: the patterns
// that come next in the output then skip the chunk, the drainer and a
// copy, as on one thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>

#include "base/buffer.h"

namespace tavrel::parallel {

struct WorkItem;
class OrderedOutput;

// The records (pattern_records.h) of one piece of work, in order.
class Chunk {
 public:
  // Appends whole records. False when memory ran out.
  bool append(const int* records, std::size_t count);
  enum class Taken { kTaken, kDirect, kOutOfMemory };
  // Moves the records of `records` to the end of the chunk and leaves it
  // empty (with memory to reuse: when the chunk held none, the buffers
  // trade places instead of copying). kDirect, taking nothing, once the
  // chunk is direct: the caller hands the records on itself.
  Taken take(Buffer<int>& records);
  // True once the drainer has handed on all the chunk held and left the
  // rest to its writer: from then on the writer hands its patterns on
  // itself (after those its take() got kDirect for), until it closes the
  // chunk. Stays true.
  bool direct() const { return direct_.load(std::memory_order_acquire); }
  // No more patterns will come; `cut` when the work stopped before its end.
  void close(bool cut);

  Chunk* next = nullptr;      // the chunk after this one (under the list's lock)
  WorkItem* owner = nullptr;  // the work writing into it (under the scheduler's lock)

 private:
  friend class OrderedOutput;
  // Counts `count` more ints as waiting and wakes the drainer if it sleeps.
  void added(std::size_t count);

  std::mutex lock_;
  Buffer<int> records_;
  bool closed_ = false;
  bool cut_ = false;
  std::atomic<bool> direct_{false};              // set under lock_, read without it
  std::atomic<std::size_t>* pending_ = nullptr;  // the output's count of waiting bytes
  OrderedOutput* output_ = nullptr;
};

class OrderedOutput {
 public:
  OrderedOutput();
  ~OrderedOutput();
  OrderedOutput(const OrderedOutput&) = delete;
  OrderedOutput& operator=(const OrderedOutput&) = delete;

  // The first chunk. nullptr when memory ran out.
  Chunk* first() { return head_.load(); }
  // A new chunk placed right after `after`. nullptr when memory ran out.
  Chunk* insertAfter(Chunk* after);
  // The chunk the drainer is at.
  const Chunk* head() const { return head_.load(std::memory_order_relaxed); }
  // Ints handed on between two updates of the count of waiting bytes.
  static constexpr std::ptrdiff_t kCountedInts = std::ptrdiff_t{1} << 18;
  // Bytes of patterns written but not yet handed on.
  std::size_t pendingBytes() const { return pending_.load(std::memory_order_relaxed); }
  // The most bytes of patterns that waited at once (as pendingBytes()
  // counts them) so far.
  std::size_t mostPendingBytes() const { return mostPending_.load(std::memory_order_relaxed); }
  // Bytes of the head chunk's patterns not yet handed on: those the drainer
  // holds and those still in the chunk. Only this shrinks while the work
  // of the head chunk waits for the drainer.
  std::size_t unhandedAtHead();

  // The drainer's side: hands every record on, in order, to `deliver`
  // (the record; sets the ints it used; returns false to stop) until the last chunk is
  // closed, a cut chunk is reached, or `deliver` or `stopped()` says stop.
  // `headMoved` is told each time the front moves on to another chunk,
  // `waiting` each time the drainer has handed on all there is and waits.
  // Returns true when every chunk was handed on whole.
  template <typename Deliver, typename Stopped, typename HeadMoved, typename Waiting>
  bool drain(Deliver deliver, Stopped stopped, HeadMoved headMoved, Waiting waiting);

  // True while the head chunk is direct: everything before the work of the
  // head has been handed on, so what waits in later chunks waits for that
  // work, not for the reader of the output.
  bool headIsDirect() const { return headDirect_.load(std::memory_order_relaxed); }
  // Wakes the drainer (a chunk changed, or the run is ending).
  void wake();
  // Wakes the drainer if it is waiting.
  void wakeIfWaiting() {
    if (drainerWaiting_.load()) wake();
  }

 private:
  friend class Chunk;
  // True when the head chunk holds patterns or is closed.
  bool headHasNews();
  // Takes what the head chunk holds now; sets `closed`, `cut`. When it
  // holds nothing and is open, turns it direct: everything it held before
  // has been handed on by then.
  void takeHead(Buffer<int>& into, bool* closed, bool* cut);
  // Moves the head to the next chunk when the head is closed and has one.
  bool advance();
  // Keeps `bytes` as the most that waited when it is more.
  void notePending(std::size_t bytes) {
    std::size_t most = mostPending_.load(std::memory_order_relaxed);
    while (bytes > most &&
           !mostPending_.compare_exchange_weak(most, bytes, std::memory_order_relaxed)) {
    }
  }

  std::atomic<Chunk*> head_{nullptr};
  std::mutex listLock_;
  std::atomic<std::size_t> pending_{0};
  std::atomic<std::size_t> backlog_{0};  // taken by the drainer, not yet handed on
  std::atomic<std::size_t> mostPending_{0};
  std::mutex wakeLock_;
  std::condition_variable wake_;
  std::atomic<bool> drainerWaiting_{false};
  std::atomic<bool> headDirect_{false};
};

template <typename Deliver, typename Stopped, typename HeadMoved, typename Waiting>
bool OrderedOutput::drain(Deliver deliver, Stopped stopped, HeadMoved headMoved, Waiting waiting) {
  Buffer<int> taken;
  for (;;) {
    bool closed = false;
    bool cut = false;
    takeHead(taken, &closed, &cut);
    if (!taken.empty()) {
      // What is taken still waits until it is handed on: the count goes
      // down as it is, a block at a time, so that a slow reader of the
      // output holds back the producers instead of letting them run ahead.
      const int* record = taken.data();
      const int* end = record + taken.size();
      const int* counted = record;
      backlog_.fetch_add(taken.size() * sizeof(int), std::memory_order_relaxed);
      while (record < end) {
        std::size_t used = 0;
        if (!deliver(record, &used)) return false;
        record += used;
        if (record - counted >= kCountedInts || record == end) {
          std::size_t bytes = static_cast<std::size_t>(record - counted) * sizeof(int);
          pending_.fetch_sub(bytes, std::memory_order_relaxed);
          backlog_.fetch_sub(bytes, std::memory_order_relaxed);
          counted = record;
        }
      }
      taken.clear();
      continue;
    }
    if (stopped()) return false;
    if (closed) {
      if (cut) return false;
      if (advance()) {
        headMoved();
        continue;
      }
      return true;  // the last chunk is closed: every pattern is handed on
    }
    waiting();
    // Producers wake the drainer under wakeLock_ once they see it waiting;
    // what they did before is seen here, before the wait.
    std::unique_lock<std::mutex> guard(wakeLock_);
    drainerWaiting_.store(true);
    if (!headHasNews() && !stopped()) wake_.wait_for(guard, std::chrono::milliseconds(50));
    drainerWaiting_.store(false);
  }
}

}  // namespace tavrel::parallel
