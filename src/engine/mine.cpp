#include <sched.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <thread>
#include <utility>
#include <vector>

#include "engine/mine_with.h"
#include "engine/option_checks.h"
#include "engine/top_patterns.h"
#include "input/first_pass.h"
#include "input/string_feed.h"
#include "pairs/pair_statistics.h"
#include "parallel/parallel_search.h"
#include "search/closed_search.h"
#include "state/run_state.h"
#include "tavrel/tavrel.h"
#include "transactions/third_pass.h"

namespace tavrel {

namespace {

constexpr const char* kOutOfMemory = "Error: out of memory\n";
constexpr const char* kSearchFailed = "Error: a search process failed\n";

// The most scratch slots a run makes for writeText(): one per searching
// thread, as many as the command line allows threads.
constexpr int kMostScratchSlots = 4096;

// Room for the item pairs of long patterns while their text is written,
// one slot per searching thread, owned by the run (no thread-local data:
// a thread's first touch of that may need memory that glibc cannot report
// as anything but an abort). The slots are made before the search, where a
// failure is the run's out-of-memory status; a slot grows when a longer
// pattern comes, and a failure there is the text's (kTextFailed).
class TextScratch {
 public:
  TextScratch() = default;
  TextScratch(const TextScratch&) = delete;
  TextScratch& operator=(const TextScratch&) = delete;
  ~TextScratch() {
    for (int k = 0; k < count_; ++k) slots_[k].~Slot();
    std::free(slots_);
  }

  // Makes `threads` slots (at most kMostScratchSlots). False when memory
  // ran out. (By malloc: a failed nothrow new throws inside libstdc++,
  // which needs that thread-local data.)
  bool make(int threads) {
    int count = std::clamp(threads, 1, kMostScratchSlots);
    void* block = std::aligned_alloc(alignof(Slot), static_cast<std::size_t>(count) * sizeof(Slot));
    if (block == nullptr) return false;
    slots_ = static_cast<Slot*>(block);
    for (count_ = 0; count_ < count; ++count_) new (&slots_[count_]) Slot();
    return true;
  }

  // The number of a free slot, marked busy until release(); -1 when every
  // slot is busy (more callers than searching threads), and the caller
  // then uses memory of its own.
  int acquire() {
    for (int k = 0; k < count_; ++k) {
      std::atomic<bool>& busy = slots_[k].busy;
      if (!busy.load(std::memory_order_relaxed) &&
          !busy.exchange(true, std::memory_order_acquire)) {
        return k;
      }
    }
    return -1;
  }

  Buffer<Edge>& pairs(int slot) { return slots_[slot].pairs; }

  void release(int slot) { slots_[slot].busy.store(false, std::memory_order_release); }

 private:
  struct alignas(64) Slot {  // a cache line each: threads take them at once
    std::atomic<bool> busy{false};
    Buffer<Edge> pairs;
  };
  Slot* slots_ = nullptr;
  int count_ = 0;
};

// Hands the search's patterns to the caller's sink as item pairs, and
// stops the search at the pattern limit or when the sink asks.
class PatternAdapter : public ClosedSetSink {
 public:
  PatternAdapter(const Buffer<EdgeSupport>& edges, std::int64_t limit, PatternSink& sink,
                 Buffer<Edge>& scratch, TextScratch& textScratch, RunProgress* progress)
      : edges_(edges),
        limit_(limit),
        sink_(sink),
        scratch_(scratch),
        textScratch_(textScratch),
        progress_(progress) {}

  bool take(const int* edges, int length, int support) override {
    for (int k = 0; k < length; ++k) scratch_[static_cast<std::size_t>(k)] = edges_[edges[k]].edge;
    Pattern pattern;
    pattern.support = support;
    pattern.edges = std::span<const Edge>(scratch_.data(), static_cast<std::size_t>(length));
    ++taken_;
    if (progress_ != nullptr) progress_->patterns.fetch_add(1, std::memory_order_relaxed);
    if (!sink_.take(pattern)) {
      stoppedBySink_ = true;
      return false;
    }
    return limit_ <= 0 || taken_ < limit_;
  }

  std::size_t textBound(int length) const override {
    return sink_.textBound(static_cast<std::size_t>(length));
  }

  std::size_t writeText(const int* edges, int length, int support, char* out) const override {
    // Called from several threads at once: each has its own pairs, on the
    // stack for the usual lengths, in a slot of the run's scratch for longer ones.
    // (Raw bytes: an array of Edge would be zeroed at every call.)
    constexpr int kOnStack = 64;
    alignas(Edge) unsigned char onStack[kOnStack * sizeof(Edge)];
    if (length <= kOnStack) {
      return writeWith(reinterpret_cast<Edge*>(onStack), edges, length, support, out);
    }
    int slot = textScratch_.acquire();
    Buffer<Edge> own;
    Buffer<Edge>& pairs = slot >= 0 ? textScratch_.pairs(slot) : own;
    std::size_t size = pairs.resize(static_cast<std::size_t>(length))
                           ? writeWith(pairs.data(), edges, length, support, out)
                           : kTextFailed;
    if (slot >= 0) textScratch_.release(slot);
    return size;
  }

  bool takeText(const char* text, std::size_t size) override {
    ++taken_;
    if (progress_ != nullptr) progress_->patterns.fetch_add(1, std::memory_order_relaxed);
    if (!sink_.takeText(std::string_view(text, size))) {
      stoppedBySink_ = true;
      return false;
    }
    return limit_ <= 0 || taken_ < limit_;
  }

  bool stoppedBySink() const { return stoppedBySink_; }
  bool atLimit() const { return limit_ > 0 && taken_ >= limit_; }

 private:
  // The sink's text of the pattern, its item pairs made in `pairs` (room for `length`).
  std::size_t writeWith(Edge* pairs, const int* edges, int length, int support, char* out) const {
    for (int k = 0; k < length; ++k) pairs[k] = edges_[edges[k]].edge;
    return sink_.writeText(
        Pattern{support, std::span<const Edge>(pairs, static_cast<std::size_t>(length))}, out);
  }

  const Buffer<EdgeSupport>& edges_;
  std::int64_t limit_;
  PatternSink& sink_;
  Buffer<Edge>& scratch_;
  TextScratch& textScratch_;
  RunProgress* progress_;
  // Written for every pattern by the thread that takes it, while the other
  // threads keep reading the fields above: a cache line of their own.
  alignas(64) std::int64_t taken_ = 0;
  bool stoppedBySink_ = false;
};

// Sets `conditions` from the options' conditions on the patterns (all but
// the top k's least support) over the run's `edges`. False when there are
// none.
bool makeConditions(const MineOptions& options, const Buffer<EdgeSupport>& edges,
                    SearchConditions* conditions) {
  conditions->minEdges = options.minEdges;
  conditions->maxEdges = options.maxEdges;
  conditions->maximal = options.maximal;
  std::vector<int> items = options.items;
  std::sort(items.begin(), items.end());
  items.erase(std::unique(items.begin(), items.end()), items.end());
  auto bitOf = [&items](int item) -> std::uint64_t {
    auto at = std::lower_bound(items.begin(), items.end(), item);
    if (at == items.end() || *at != item) return 0;
    return std::uint64_t{1} << (at - items.begin());
  };
  if (!items.empty()) {
    conditions->allItems =
        items.size() == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << items.size()) - 1;
    conditions->itemBits.resize(edges.size());
    for (std::size_t e = 0; e < edges.size(); ++e) {
      conditions->itemBits[e] = bitOf(edges[e].edge.before) | bitOf(edges[e].edge.after);
    }
  }
  return options.minEdges > 0 || options.maxEdges > 0 || options.maximal || !items.empty() ||
         options.top > 0;
}

// The cores this process may run on.
int availableCores() {
  cpu_set_t cores;
  if (sched_getaffinity(0, sizeof cores, &cores) == 0) return std::max(1, CPU_COUNT(&cores));
  return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

// The three passes: the run's edge table and edge transactions, or the
// status of a failure.
// The items of the conditions are checked once the run knows its items,
// before the strings are read.
Status readStrings(const StringSource& source, const MineOptions& options, RunState& run) {
  std::unique_ptr<StringFeed> feed = openStringFeed(source, run);
  if (feed == nullptr) return run.report.toStatus();
  Status items = checkConditionItems(options, run.totalItems);
  if (!items.ok()) return items;
  if (countItems(run, *feed) < 0 || buildPairStatistics(run, *feed) < 0 ||
      buildEdgeDatabase(run, *feed) < 0) {
    return run.report.toStatus();
  }
  return Status();
}

Status runMining(const StringSource& source, const MineOptions& options, PatternSink& sink,
                 const SearchRunner& search) {
  RunState run;
  run.minSup = options.minSup;
  run.minSupShare = options.minSupShare;
  run.threads = options.threads == 0 ? availableCores() : options.threads;
  Status read = readStrings(source, options, run);
  if (!read.ok()) return read;
  run.itemTable.release();

  Buffer<EdgeSupport> edges;
  Buffer<Edge> scratch;
  TextScratch textScratch;
  if (!edges.resize(static_cast<std::size_t>(run.edgeCount)) ||
      !scratch.resize(static_cast<std::size_t>(run.edgeCount) + 1) ||
      !textScratch.make(run.threads)) {
    return Status(Status::Code::kOutOfMemory, kOutOfMemory);
  }
  for (int e = 0; e < run.edgeCount; ++e) {
    std::int64_t pairCode = run.edgeTable[e].pairCode;
    edges[e] = EdgeSupport{Edge{run.pairCodeFrom(pairCode), run.pairCodeTo(pairCode)},
                           run.edgeTable[e].support};
  }
  RunInfo info;
  info.stringCount = run.stringCount;
  info.stringsRead = run.stringsRead;
  info.minSup = run.minSup;
  info.frequentItemCount = run.frequentItemCount;
  info.edges = std::span<const EdgeSupport>(edges.data(), edges.size());
  if (!sink.begin(info)) return Status(Status::Code::kStopped, "");

  PatternAdapter adapter(edges, options.maxPatterns, sink, scratch, textScratch, options.progress);
  SearchConditions conditions;
  bool conditioned = makeConditions(options, edges, &conditions);
  std::unique_ptr<TopPatterns> top;
  if (options.top > 0) {
    top = std::make_unique<TopPatterns>(options.top, run.minSup);
    conditions.leastSupport = &top->leastSupport();
  }
  ClosedSetSink& found = top != nullptr ? static_cast<ClosedSetSink&>(*top) : adapter;
  SearchOutcome outcome =
      search(run.edgeDatabase, run.minSup, run.threads, found, conditioned ? &conditions : nullptr,
             options.stop, options.progress);
  if (top != nullptr && top->outOfMemory()) outcome = SearchOutcome::kOutOfMemory;
  if (top != nullptr && outcome == SearchOutcome::kComplete && !top->handOn(adapter)) {
    outcome = SearchOutcome::kStopped;
  }
  switch (outcome) {
    case SearchOutcome::kComplete:
      return Status();
    case SearchOutcome::kOutOfMemory:
      return Status(Status::Code::kOutOfMemory, kOutOfMemory);
    case SearchOutcome::kFailed:
      return Status(Status::Code::kSearchFailed, kSearchFailed);
    case SearchOutcome::kStopped:
    case SearchOutcome::kNoThreads:
      break;
  }
  if (adapter.atLimit() && !adapter.stoppedBySink()) return Status(Status::Code::kPatternLimit, "");
  return Status(Status::Code::kStopped, "");
}

}  // namespace

SearchOutcome searchHere(EdgeDatabase& database, int minSup, int threads, ClosedSetSink& sink,
                         const SearchConditions* conditions, const std::atomic<bool>* stop,
                         RunProgress* progress) {
  SearchOutcome outcome = SearchOutcome::kNoThreads;
  if (threads > 1) {
    parallel::ParallelOptions parallelOptions;
    parallelOptions.threads = threads;
    parallelOptions.stop = stop;
    parallelOptions.progress = progress;
    parallelOptions.conditions = conditions;
    outcome = parallel::searchInParallel(database, minSup, sink, parallelOptions);
  }
  if (outcome == SearchOutcome::kNoThreads) {  // one thread, or none could be started
    SearchOptions searchOptions;
    searchOptions.stop = stop;
    searchOptions.progress = progress;
    searchOptions.conditions = conditions;
    outcome = searchClosed(std::move(database), minSup, sink, searchOptions);
  }
  return outcome;
}

Status mine(const StringSource& source, const MineOptions& options, PatternSink& sink) {
  return mineWith(source, options, sink, searchHere);
}

Status mineWith(const StringSource& source, const MineOptions& options, PatternSink& sink,
                const SearchRunner& search) {
  try {
    Status checked = checkOptions(options);
    if (!checked.ok()) return checked;
    return runMining(source, options, sink, search);
  } catch (const std::bad_alloc&) {
    // A standard container that could not grow; everything the run made
    // has been freed on the way out.
    return Status(Status::Code::kOutOfMemory, kOutOfMemory);
  }
}

}  // namespace tavrel
