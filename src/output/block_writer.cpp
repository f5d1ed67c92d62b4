#include "output/block_writer.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <new>
#include <system_error>
#include <utility>

#include "output/write_fully.h"

namespace tavrel::output {

BlockWriter::BlockWriter(const BlockWriterOptions& options)
    : fd_(options.fd),
      maxLineWait_(options.maxLineWait),
      blockSize_(options.blockSize),
      immediate_(options.lineFlush) {
  // Without the memory now, the first reserve() tries again.
  resizeBuffer(blockSize_);
  if (immediate_) return;
  try {
    // No thread to bound the wait: write at once.
    if (!flusher_.start([this] { runFlusher(); })) immediate_ = true;
  } catch (const std::bad_alloc&) {
    immediate_ = true;
  }
}

BlockWriter::~BlockWriter() {
  flush();
  {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    flusher_.join();  // nothing when it never started
  }
}

char* BlockWriter::reserve(std::size_t maxBytes) {
  std::size_t committed = committed_.load(std::memory_order_relaxed);
  if (buffer_.size() - committed < maxBytes) {
    if (!makeRoom(maxBytes)) return nullptr;
    committed = 0;
  }
  reserved_ = maxBytes;
  return buffer_.data() + committed;
}

// Takes no lock unless the buffer was empty, when the flusher may sleep
// without a deadline: the new end is published first, then the flusher's
// place is read, and the flusher does the same the other way round, so at
// least one of them sees the other (both sequentially consistent). When
// the producer sees lines waiting, the flusher's deadline covers the new
// ones too; when the flusher missed the new end, the producer sees the
// buffer empty and wakes it.
void BlockWriter::commit(std::size_t used) {
  std::size_t before = committed_.load(std::memory_order_relaxed);
  assert(used <= reserved_);
  assert(used == 0 || buffer_.data()[before + used - 1] == '\n');
  reserved_ = 0;
  if (used == 0 || failed()) return;
  if (immediate_) {
    emit(buffer_.data() + before, used);
    return;
  }
  committed_.store(before + used);
  if (sent_.load() != before) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (sent_.load() == before) oldestWaiting_ = Clock::now();
  }
  changed_.notify_all();
}

void BlockWriter::write(const char* data, std::size_t length) {
  assert(length == 0 || data[length - 1] == '\n');
  if (length == 0 || failed()) return;
  if (immediate_) {
    emit(data, length);
    return;
  }
  if (length <= buffer_.size()) {
    // Fails only when the buffer it gets after a hand-off is smaller and
    // cannot grow: then the bytes are written straight away below.
    if (char* room = reserve(length)) {
      std::memcpy(room, data, length);
      commit(length);
      return;
    }
  }
  std::unique_lock<std::mutex> lock(mutex_);
  writeOutBuffered(lock);
  writeUnlocked(lock, data, length);
}

bool BlockWriter::flush() {
  if (!immediate_) {
    std::unique_lock<std::mutex> lock(mutex_);
    writeOutBuffered(lock);
  }
  return !failed();
}

// Empties the buffer so that `bytes` fit at its start, growing it when it
// is smaller. False when the memory cannot be had; the buffer is empty
// (written out) either way.
bool BlockWriter::makeRoom(std::size_t bytes) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!handOff(lock)) writeOutBuffered(lock);
  if (buffer_.size() >= bytes) return true;
  return resizeBuffer(std::max(bytes, blockSize_)) || resizeBuffer(bytes);
}

// Replaces the empty buffer with one of `capacity` bytes; false (and no
// change) when the memory cannot be had.
bool BlockWriter::resizeBuffer(std::size_t capacity) {
  assert(committed_.load() == 0);
  Buffer<char> block;
  if (!block.resize(capacity)) return false;
  buffer_ = std::move(block);
  return true;
}

// Producer side: waits until the flusher writes nothing and holds no
// buffer handed to it.
void BlockWriter::waitForFlusher(std::unique_lock<std::mutex>& lock) {
  changed_.wait(lock, [this] { return !writing_ && handedLength_ == 0; });
}

// Producer side: once the flusher is done with the other buffer, gives it
// the rest of this one to write and goes on in the other, so that the
// producer does not wait for the write. False (nothing changed) without a
// flusher or when the second buffer cannot be had.
bool BlockWriter::handOff(std::unique_lock<std::mutex>& lock) {
  if (immediate_) return false;
  waitForFlusher(lock);
  if (spare_.data() == nullptr && !spare_.resize(blockSize_)) return false;
  std::size_t sent = sent_.load();
  std::size_t committed = committed_.load();
  handed_ = buffer_.data() + sent;
  handedLength_ = committed - sent;
  std::swap(buffer_, spare_);
  sent_.store(0);
  committed_.store(0);
  if (handedLength_ > 0) changed_.notify_all();
  return true;
}

// Producer side: waits for the flusher's writes to end, writes out the
// rest of the buffer and starts it afresh.
void BlockWriter::writeOutBuffered(std::unique_lock<std::mutex>& lock) {
  waitForFlusher(lock);
  std::size_t sent = sent_.load();
  std::size_t committed = committed_.load();
  if (sent < committed) writeUnlocked(lock, buffer_.data() + sent, committed - sent);
  sent_.store(0);
  committed_.store(0);
}

// Writes `length` bytes with the lock released, marked by `writing_` so
// that no other write starts meanwhile. Requires !writing_.
void BlockWriter::writeUnlocked(std::unique_lock<std::mutex>& lock, const char* data,
                                std::size_t length) {
  assert(!writing_);
  writing_ = true;
  lock.unlock();
  emit(data, length);
  lock.lock();
  writing_ = false;
  changed_.notify_all();
}

// Flusher side: writes out every line appended so far. The producer goes on
// appending after them meanwhile; those lines came after the write began,
// so their wait is counted from then.
void BlockWriter::writeOutWaiting(std::unique_lock<std::mutex>& lock) {
  const std::size_t end = committed_.load();
  const std::size_t sent = sent_.load();
  const Clock::time_point start = Clock::now();
  writeUnlocked(lock, buffer_.data() + sent, end - sent);
  sent_.store(end);
  oldestWaiting_ = start;
}

// The flusher thread: sleeps while nothing waits, and otherwise until the
// oldest waiting line is due.
void BlockWriter::runFlusher() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    if (!writing_ && handedLength_ > 0) {
      writeUnlocked(lock, handed_, handedLength_);
      handedLength_ = 0;
      changed_.notify_all();
    } else if (writing_ || sent_.load() == committed_.load()) {
      changed_.wait(lock);
    } else if (Clock::time_point due = oldestWaiting_ + maxLineWait_; Clock::now() < due) {
      changed_.wait_until(lock, due);
    } else {
      writeOutWaiting(lock);
    }
  }
}

// Hands bytes to the descriptor unless output is dropped or has failed;
// remembers a failure. Only one call runs at a time.
void BlockWriter::emit(const char* data, std::size_t length) {
  if (fd_ < 0 || failed()) return;
  if (!writeFully(fd_, data, length)) failed_.store(true, std::memory_order_relaxed);
}

}  // namespace tavrel::output
