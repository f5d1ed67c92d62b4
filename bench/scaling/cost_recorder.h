// Records the coarse cost tree of one sequential search: it watches the
// search's steps and takes its patterns (counting them, keeping none).
//
// Every step is timed with the processor's time-stamp counter, read once
// between two sibling steps, less the time the thread was not running: on
// a busy machine another process may take the core for milliseconds in
// the middle of a step. Whenever the counter has moved on by more than
// 200 µs since the last look, the thread's processor clock is read
// too, and what the counter gained beyond it is taken off from then on. A step's
// children are kept only when its subtree took at least the threshold;
// a smaller step becomes a leaf, and small leaves side by side merge into
// runs while the run stays under the threshold. When more nodes are kept
// than the budget allows, the threshold doubles and the tree is coarsened
// to it, so memory stays bounded however long the search runs.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "scaling/cost_tree.h"
#include "search/closed_set_sink.h"
#include "search/search_observer.h"

namespace tavrel::scaling {

struct RecorderOptions {
  double thresholdSeconds = 0;  // 0: the search's time / targetUnits, found at the end
  double targetUnits = 100000;
  std::size_t nodeBudget = std::size_t{1} << 21;  // nodes kept before the threshold doubles
  double timeLimitSeconds = 0;  // 0: none; else the search is asked to stop after this long
};

class CostRecorder final : public SearchObserver, public ClosedSetSink {
 public:
  explicit CostRecorder(const RecorderOptions& options) : options_(options) {}

  // Marks the search's start: call right before the search.
  void start();
  // For SearchOptions::stop: set once the time limit has passed.
  const std::atomic<bool>* stopFlag() const { return &stop_; }
  bool stopped() const { return stop_.load(); }

  void cursorOpens(int depth) override;
  void stepBegins(int depth) override;
  void stepEnds(int depth) override;
  bool take(const int* edges, int length, int support) override;

  // Ends the record, closing the steps still open (when the search was
  // stopped), and returns the tree in nanoseconds.
  CostTree finish();
  // The time the search's thread was not running while it was recorded.
  double notRunningSeconds() const { return static_cast<double>(notRunning_) * nsPerTick_ * 1e-9; }

 private:
  // A step not yet done, and its children so far.
  struct Open {
    std::uint64_t begin = 0;
    std::uint64_t patterns = 0;
    std::uint64_t openTime = 0;
    std::vector<CostNode> children;
  };

  // Adds a small step or run to a list of siblings, into its last run when
  // that stays under the threshold.
  void addSmall(std::vector<CostNode>& siblings, const CostNode& small) const;
  // Keeps a step with its children: they move to the pool.
  CostNode keep(Open& step, std::uint64_t time);
  // Raises the threshold until the pool is within half the budget.
  void coarsen(std::uint64_t threshold);
  std::vector<CostNode> coarsened(const CostNode* list, std::size_t count,
                                  std::vector<CostNode>& pool) const;
  // The counter less the time the thread was not running.
  std::uint64_t now();
  void sync(std::uint64_t raw);
  // Converts every time from ticks to nanoseconds.
  void toNanoseconds(CostTree& tree, double nsPerTick) const;

  RecorderOptions options_;
  std::atomic<bool> stop_{false};
  std::vector<Open> open_;       // open_[d + 1]: the open step at depth d; open_[0]: the top
  std::vector<CostNode> pool_;   // kept nodes' children, siblings side by side
  std::uint64_t threshold_ = 0;  // ticks
  std::uint64_t deadline_ = 0;   // ticks; 0: none
  std::uint64_t startTicks_ = 0;
  double startSeconds_ = 0;
  double nsPerTick_ = 1;
  std::size_t current_ = 0;  // the deepest open step's place in open_
  int openingDepth_ = -1;    // the frame whose cursor is being opened
  std::uint64_t openMark_ = 0;
  std::uint64_t endedAt_ = 0;     // when the last step ended
  std::uint64_t syncTicks_ = 0;   // the counter's gain that calls for a look at the processor clock
  std::uint64_t syncedAt_ = 0;    // the raw counter at the last look
  double syncedCpuNs_ = 0;        // the processor clock then
  std::uint64_t notRunning_ = 0;  // ticks the thread was not running, so far
  std::uint64_t lastNow_ = 0;     // what now() said last
  bool justEnded_ = false;        // nothing came between that end and now
  std::uint64_t steps_ = 0;
  std::uint64_t patterns_ = 0;
  std::uint64_t edges_ = 0;
};

}  // namespace tavrel::scaling
