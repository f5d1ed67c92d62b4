#include "mpi/unit_searcher.h"

#include <chrono>
#include <new>

#include "mpi/wire.h"
#include "parallel/pattern_records.h"
#include "search/search_settings.h"
#include "search/top_frame.h"

namespace tavrel::mpi {

namespace {

// The most bytes of patterns a unit's threads keep while their sink waits:
// what a held rank holds besides its block.
constexpr std::size_t kEngineWaitingCap = std::size_t{16} << 20;
// Blocks that may wait to be collected before the search waits for room.
constexpr std::size_t kOutgoingBlocks = 4;

}  // namespace

// The engine's patterns, as records of the unit's kPatterns blocks.
class UnitSearcher::Sink : public ClosedSetSink {
 public:
  explicit Sink(UnitSearcher& owner) : owner_(owner) {}
  bool take(const int* edges, int length, int support) override {
    owner_.record(support, length, edges);
    return !owner_.stop_.load(std::memory_order_relaxed);
  }

 private:
  UnitSearcher& owner_;
};

UnitSearcher::~UnitSearcher() { stop(); }

bool UnitSearcher::open(EdgeDatabase& database, int minSup, int threads, bool splitAlways,
                        int blockInts, const SearchConditions* conditions) {
  always = splitAlways;
  blockInts_ = blockInts > 4 ? static_cast<std::size_t>(blockInts) : 4;
  threads_ = threads < 1 ? 1 : threads;
  if (conditions != nullptr) {
    conditions_.minEdges = conditions->minEdges;
    conditions_.maxEdges = conditions->maxEdges;
    conditions_.maximal = conditions->maximal;
    conditions_.allItems = conditions->allItems;
    conditions_.itemBits = conditions->itemBits;
  }
  // No top k's least support, on rank 0 either: a unit's path must lead to
  // the same frames on every rank, and the value differs between them.
  setSearchSettings(shared_, minSup, threads_, FramePolicy::kCheapest, true, nullptr,
                    conditions_.any() ? &conditions_ : nullptr);
  opened_ = openTopFrame(database, top_, shared_);
  // Marks the top frame's pattern maximal when it is; its units that can
  // hold no passing pattern are searched all the same (to no output).
  if (opened_) topCandidatesSearched(shared_.conditions, top_);
  top_.references.store(1);
  return opened_;
}

bool UnitSearcher::start(int id, const parallel::WorkUnit& unit) {
  stop();
  stop_.store(false);
  wanted.store(false);
  unitId_ = id;
  {
    std::lock_guard<std::mutex> guard(lock_);
    block_ = {kPatterns, id};
    held_ = false;
    // The unit's end goes out without taking memory (see finishLocked()).
    done_ = {kDone, id, 0};
    outgoing_.reserve(16);
  }
  outOfMemory_.store(false);
  busy_.store(true);
  thread_ = std::make_unique<SmallThread>();
  if (!thread_->start([this, unit] { search(unit); })) {
    busy_.store(false);
    return false;
  }
  return true;
}

void UnitSearcher::askForPiece() {
  if (busy_.load()) wanted.store(true);
}

void UnitSearcher::hold(bool held) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    held_ = held;
  }
  released_.notify_all();
}

void UnitSearcher::stop() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    stop_.store(true);
  }
  released_.notify_all();
  if (thread_ != nullptr) thread_->join();
  thread_.reset();
}

// Searches the unit with the engine and queues its end as kDone.
void UnitSearcher::search(const parallel::WorkUnit& unit) {
  Sink sink(*this);
  parallel::ParallelOptions options;
  options.threads = threads_;
  options.stop = &stop_;
  options.exchange = this;
  options.waitingCap = kEngineWaitingCap;
  SearchOutcome outcome = SearchOutcome::kOutOfMemory;
  try {
    if (opened_) outcome = parallel::searchUnitInParallel(top_, shared_, unit, sink, options);
  } catch (const std::bad_alloc&) {
    outcome = SearchOutcome::kOutOfMemory;
  }
  std::lock_guard<std::mutex> guard(lock_);
  finishLocked(outcome);
  busy_.store(false);
}

void UnitSearcher::finishLocked(SearchOutcome outcome) noexcept {
  if (outOfMemory_.load()) outcome = SearchOutcome::kOutOfMemory;
  if (outcome != SearchOutcome::kOutOfMemory) {
    try {
      sendBlockLocked();
      outgoing_.reserve(outgoing_.size() + 1);
    } catch (const std::bad_alloc&) {
      outcome = SearchOutcome::kOutOfMemory;
    }
  }
  if (outcome == SearchOutcome::kOutOfMemory) {
    // The patterns queued are of no use now: only the unit's end goes,
    // into the room start() reserved.
    outgoing_.clear();
    outgoingBytes_ = 0;
  }
  done_[2] = static_cast<int>(outcome);
  outgoing_.push_back(std::move(done_));
  news_.notify_all();
}

void UnitSearcher::failForMemory() noexcept {
  outOfMemory_.store(true);
  stop_.store(true);
  released_.notify_all();
}

void UnitSearcher::record(int support, int length, const int* edges) noexcept {
  std::unique_lock<std::mutex> guard(lock_);
  if (outOfMemory_.load()) return;
  try {
    block_.push_back(support);
    block_.push_back(length);
    block_.insert(block_.end(), edges, edges + length);
    if (block_.size() < blockInts_) return;
    std::size_t room = kOutgoingBlocks * blockInts_ * sizeof(int);
    released_.wait(guard,
                   [this, room] { return (!held_ && outgoingBytes_ < room) || stop_.load(); });
    sendBlockLocked();
  } catch (const std::bad_alloc&) {
    failForMemory();
  }
}

void UnitSearcher::sendBlockLocked() {
  if (block_.size() <= 2) return;
  outgoingBytes_ += block_.size() * sizeof(int);
  outgoing_.push_back(std::move(block_));
  news_.notify_all();
  block_ = {kPatterns, unitId_};
}

int UnitSearcher::give(const parallel::WorkUnit& unit, bool asked) noexcept {
  (void)asked;
  std::lock_guard<std::mutex> guard(lock_);
  int id = nextPiece_++ * ranks_ + rank_;
  try {
    outgoing_.push_back(unitMessage(kGiven, id, unit));
    news_.notify_all();
  } catch (const std::bad_alloc&) {
    failForMemory();  // the unit ends as out of memory: its pieces are not waited for
  }
  return id;
}

bool UnitSearcher::reached(int id) {
  int mark[parallel::kPieceMarkInts];
  parallel::writePieceMark(mark, id);
  record(mark[0], mark[1], mark + 2);
  return !stop_.load(std::memory_order_relaxed);
}

void UnitSearcher::awaitNews(double seconds) {
  std::unique_lock<std::mutex> guard(lock_);
  news_.wait_for(guard, std::chrono::duration<double>(seconds),
                 [this] { return !outgoing_.empty(); });
}

void UnitSearcher::collect(std::vector<std::vector<int>>& out, bool flush) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (flush && !held_) sendBlockLocked();
    if (outgoing_.empty()) return;
    for (auto& message : outgoing_) out.push_back(std::move(message));
    outgoing_.clear();
    outgoingBytes_ = 0;
  }
  released_.notify_all();
}

}  // namespace tavrel::mpi
