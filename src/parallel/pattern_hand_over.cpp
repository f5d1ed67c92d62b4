#include "parallel/pattern_hand_over.h"

#include <chrono>
#include <climits>
#include <thread>

#include "parallel/pattern_records.h"

namespace tavrel::parallel {

bool PatternHandOver::recordPattern(WorkItem& item, const int* edges, int length, int support) {
  std::size_t bound = sink_.textBound(length);
  if (bound == 0) {
    if (!item.pending.reserve(item.pending.size() + patternRecordInts(length))) return false;
    item.pending.push(support);
    item.pending.push(length);
    item.pending.append(edges, static_cast<std::size_t>(length));
    return true;
  }
  std::size_t at = item.pending.size();
  if (!item.pending.resize(at + textRecordInts(bound))) return false;
  char* text = reinterpret_cast<char*>(item.pending.data() + at + 1);
  std::size_t size = sink_.writeText(edges, length, support, text);
  if (size == ClosedSetSink::kTextFailed || size >= static_cast<std::size_t>(INT_MAX)) return false;
  item.pending[at] = textRecordHeader(size);
  item.pending.resize(at + textRecordInts(size));
  return true;
}

bool PatternHandOver::takePattern(WorkItem& item, const int* edges, int length, int support) {
  if (writesDirectly(item)) {
    if (!sinkStopped_.load(std::memory_order_relaxed) && !sink_.take(edges, length, support)) {
      stopForSink();
    }
    return true;
  }
  return recordPattern(item, edges, length, support) && handOverSoon(item);
}

bool PatternHandOver::handOver(WorkItem& item) {
  item.handedAt = coarseMilliseconds();
  if (item.pending.empty()) return true;
  std::size_t bytes = item.pending.size() * sizeof(int);
  Chunk::Taken taken = item.chunk->take(item.pending);
  if (taken == Chunk::Taken::kTaken) item.handedBytes += bytes;
  if (taken == Chunk::Taken::kDirect) handOnDirectly(item);
  item.pending.clear();
  return taken != Chunk::Taken::kOutOfMemory;
}

void PatternHandOver::handOnDirectly(WorkItem& item) {
  const int* record = item.pending.data();
  const int* end = record + item.pending.size();
  while (record < end && !sinkStopped_.load(std::memory_order_relaxed)) {
    std::size_t used = 0;
    if (!deliver(record, &used)) stopForSink();
    record += used;
  }
}

bool PatternHandOver::deliver(const int* record, std::size_t* used) {
  *used = recordInts(record);
  switch (recordKind(record)) {
    case RecordKind::kTopEdge:
      options_.progress->topEdgesReached.store(record[1], std::memory_order_relaxed);
      return true;
    case RecordKind::kText:
      return sink_.takeText(reinterpret_cast<const char*>(record + 1), textRecordSize(record[0]));
    case RecordKind::kPiece:
      return options_.exchange->reached(pieceOfMark(record));
    case RecordKind::kPattern:
      break;
  }
  return sink_.take(record + 2, record[1], record[0]);
}

bool PatternHandOver::handOverSoon(WorkItem& item) {
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
  // where it waits when too much does (see the Scheduler's mayWait()).
  if (head && output_.pendingBytes() > options_.waitingCap) waitForOutput();
  return true;
}

// Waits, as the work of the head chunk, until the head's patterns not yet
// handed on are down to a quarter of the cap, or the run stops. (Patterns of later
// chunks only go once the head's work has ended: waiting for them would
// never end.)
void PatternHandOver::waitForOutput() {
  while (output_.unhandedAtHead() > options_.waitingCap / 4 && !stopping_.load() &&
         !(options_.stop != nullptr && options_.stop->load(std::memory_order_relaxed))) {
    output_.wake();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

}  // namespace tavrel::parallel
