// The writer of the program's standard output in blocks.
//
// The producer appends bytes that end with complete lines; they are
// collected in a buffer and handed to the operating system a block at a
// time. Two promises replace writing every line as it is made:
//
//  - No complete line waits longer than `maxLineWait` before it reaches the
//    descriptor, even when the producer goes quiet for minutes: a flusher
//    thread wakes only while something waits and writes out what has
//    waited long enough.
//  - flush() writes out everything appended so far; the owner calls it
//    before an error message, before the process ends and before it
//    blocks. The destructor flushes too.
//
// Only complete lines reach the descriptor: a block ends where an append
// ended, and every append ends with '\n' (checked in debug builds).
//
// A write that fails (closed descriptor, full disk, broken pipe with
// SIGPIPE ignored) is remembered: later output is dropped and failed()
// tells. A full buffer goes to the flusher to write while the producer
// fills a second one; the producer waits only when the flusher has not yet
// written the last buffer it got. A full pipe so blocks the producer too
// (back-pressure). The producer waits for the flusher's write or makes its
// own (in flush(), or without a second buffer), never both at once, so
// they cannot deadlock. A negative descriptor drops every byte and never
// fails (benchmarks time the work without the writes).
//
// Thread safety: one producer at a time. The producer's calls may come
// from different threads one after another, never concurrently; the class
// synchronises with its own flusher thread. Failures are reported, not
// thrown: when the flusher thread cannot be started the writer writes every
// append at once, and reserve() tells when memory runs out.
//
// Example:
//   BlockWriter out;  // standard output, lines wait at most 100 ms
//   char* room = out.reserve(formats::patternBlockBound(pattern.edges.size()));
//   if (room) out.commit(formats::writePatternBlock(room, number, pattern) - room);
//   ...
//   if (!out.flush()) reportOutputFailure();
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>

#include "base/buffer.h"
#include "base/small_thread.h"

namespace tavrel::output {

struct BlockWriterOptions {
  // Where the bytes go; negative drops them.
  int fd = 1;
  // Write every append at once (a write per append, no flusher thread).
  bool lineFlush = false;
  // The longest a complete line may wait in the buffer.
  std::chrono::milliseconds maxLineWait{100};
  // The buffer's size: a full buffer is written out in one piece.
  std::size_t blockSize = std::size_t{1} << 20;
};

class BlockWriter {
 public:
  explicit BlockWriter(const BlockWriterOptions& options = BlockWriterOptions());
  // Flushes and stops the flusher thread.
  ~BlockWriter();
  BlockWriter(const BlockWriter&) = delete;
  BlockWriter& operator=(const BlockWriter&) = delete;

  // Returns room for at least `maxBytes` bytes at the end of the buffer,
  // writing out what is buffered first when it does not fit; the room
  // stays valid until the next call. Returns null when that much memory
  // cannot be had (nothing is lost then; the caller may still write()).
  char* reserve(std::size_t maxBytes);

  // Appends the first `used` bytes of the room that the last reserve()
  // returned. Requires used <= maxBytes of that call, and the bytes must end
  // with '\n' (or used == 0). In lineFlush mode they are written at once.
  void commit(std::size_t used);

  // Appends `length` bytes that end with '\n' (or length == 0). A chunk
  // larger than the buffer is written straight after what is buffered.
  void write(const char* data, std::size_t length);

  // Writes out everything appended so far. Returns false when this or any
  // earlier write has failed.
  bool flush();

  // True once a write has failed; every byte appended since is dropped.
  bool failed() const { return failed_.load(std::memory_order_relaxed); }

 private:
  using Clock = std::chrono::steady_clock;

  bool makeRoom(std::size_t bytes);
  bool handOff(std::unique_lock<std::mutex>& lock);
  void waitForFlusher(std::unique_lock<std::mutex>& lock);
  bool resizeBuffer(std::size_t capacity);
  void writeOutBuffered(std::unique_lock<std::mutex>& lock);
  void writeUnlocked(std::unique_lock<std::mutex>& lock, const char* data, std::size_t length);
  void writeOutWaiting(std::unique_lock<std::mutex>& lock);
  void runFlusher();
  void emit(const char* data, std::size_t length);

  const int fd_;
  const Clock::duration maxLineWait_;
  const std::size_t blockSize_;
  // True when every append is written at once: lineFlush mode, or no
  // flusher thread could be started.
  bool immediate_;

  // The buffer. Only the producer changes these; it does so under mutex_
  // while the flusher may look at them, but for the end of the lines
  // appended, which commit() moves on without the lock.
  Buffer<char> buffer_;                    // its size is the room it has
  std::atomic<std::size_t> committed_{0};  // bytes of complete lines appended
  std::size_t reserved_ = 0;               // room handed out by the last reserve()

  std::mutex mutex_;
  std::condition_variable changed_;
  // Under mutex_: bytes of the buffer written out (read by commit()
  // without the lock), whether a write runs outside the lock, since when
  // the oldest unwritten line waits, and whether the flusher must end.
  std::atomic<std::size_t> sent_{0};
  bool writing_ = false;
  Clock::time_point oldestWaiting_{};
  bool stopping_ = false;
  // Under mutex_: the second buffer, and the bytes of it the producer
  // handed to the flusher to write (handedLength_ > 0 until written).
  Buffer<char> spare_;
  const char* handed_ = nullptr;
  std::size_t handedLength_ = 0;

  std::atomic<bool> failed_{false};
  SmallThread flusher_;
};

}  // namespace tavrel::output
