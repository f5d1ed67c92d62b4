#include "parallel/ordered_output.h"

#include <new>

namespace tavrel::parallel {

bool Chunk::append(const int* records, std::size_t count) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (!records_.append(records, count)) return false;
  }
  added(count);
  return true;
}

Chunk::Taken Chunk::take(Buffer<int>& records) {
  std::size_t count = records.size();
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (direct_.load(std::memory_order_relaxed)) return Taken::kDirect;
    if (records_.empty()) {
      std::swap(records_, records);
    } else if (!records_.append(records.data(), count)) {
      return Taken::kOutOfMemory;
    }
  }
  records.clear();
  added(count);
  return Taken::kTaken;
}

// The drainer waits only for the head chunk: what a later chunk gets it
// finds there when it moves on (the head changes on the drainer's thread
// alone, before it looks at the new head), so only the head wakes it.
void Chunk::added(std::size_t count) {
  std::size_t bytes = count * sizeof(int);
  output_->notePending(pending_->fetch_add(bytes, std::memory_order_relaxed) + bytes);
  if (output_->head() == this) output_->wakeIfWaiting();
}

void Chunk::close(bool cut) {
  // Once closed, the chunk may be taken and freed by the drainer at any
  // moment: nothing of it is read after the lock is let go.
  OrderedOutput* output = output_;
  bool head;
  {
    std::lock_guard<std::mutex> guard(lock_);
    closed_ = true;
    cut_ = cut;
    head = output->head() == this;
  }
  if (head) output->wakeIfWaiting();
}

OrderedOutput::OrderedOutput() {
  Chunk* chunk = new (std::nothrow) Chunk;
  if (chunk != nullptr) {
    chunk->pending_ = &pending_;
    chunk->output_ = this;
  }
  head_.store(chunk);
}

OrderedOutput::~OrderedOutput() {
  Chunk* chunk = head_.load();
  while (chunk != nullptr) {
    Chunk* next = chunk->next;
    delete chunk;
    chunk = next;
  }
}

Chunk* OrderedOutput::insertAfter(Chunk* after) {
  Chunk* chunk = new (std::nothrow) Chunk;
  if (chunk == nullptr) return nullptr;
  chunk->pending_ = &pending_;
  chunk->output_ = this;
  std::lock_guard<std::mutex> guard(listLock_);
  chunk->next = after->next;
  after->next = chunk;
  return chunk;
}

void OrderedOutput::wake() {
  std::lock_guard<std::mutex> guard(wakeLock_);
  wake_.notify_all();
}

bool OrderedOutput::headHasNews() {
  Chunk* head = head_.load();
  std::lock_guard<std::mutex> guard(head->lock_);
  return !head->records_.empty() || head->closed_;
}

void OrderedOutput::takeHead(Buffer<int>& into, bool* closed, bool* cut) {
  Chunk* head = head_.load();
  std::lock_guard<std::mutex> guard(head->lock_);
  std::swap(into, head->records_);
  *closed = head->closed_;
  *cut = head->cut_;
  if (into.empty() && !head->closed_) {
    head->direct_.store(true, std::memory_order_release);
    headDirect_.store(true, std::memory_order_relaxed);
  }
}

std::size_t OrderedOutput::unhandedAtHead() {
  Chunk* head = head_.load();
  std::size_t inChunk;
  {
    std::lock_guard<std::mutex> guard(head->lock_);
    inChunk = head->records_.size() * sizeof(int);
  }
  return inChunk + backlog_.load(std::memory_order_relaxed);
}

bool OrderedOutput::advance() {
  Chunk* head = head_.load();
  Chunk* next;
  {
    std::lock_guard<std::mutex> guard(listLock_);
    next = head->next;
  }
  if (next == nullptr) return false;
  // The chunk was closed before its last records were taken: nothing
  // more comes into it, and no chunk is put after it any more.
  headDirect_.store(false, std::memory_order_relaxed);
  head_.store(next);
  delete head;
  return true;
}

}  // namespace tavrel::parallel
