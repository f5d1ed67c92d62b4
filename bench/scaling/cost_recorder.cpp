#include "scaling/cost_recorder.h"

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

namespace tavrel::scaling {

namespace {

double steadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// A clock that costs a few nanoseconds to read: the time-stamp counter
// where there is one, else the steady clock's nanoseconds.
std::uint64_t ticks() {
#if defined(__x86_64__) || defined(__i386__)
  return __rdtsc();
#else
  return static_cast<std::uint64_t>(steadySeconds() * 1e9);
#endif
}

// The calling thread's processor time.
double threadCpuNs() {
  struct timespec now {};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

// Nanoseconds per tick, measured over a few milliseconds.
double measureTickRate() {
  double from = steadySeconds();
  std::uint64_t first = ticks();
  while (steadySeconds() - from < 0.005) {
  }
  double seconds = steadySeconds() - from;
  std::uint64_t counted = ticks() - first;
  return counted == 0 ? 1 : seconds * 1e9 / static_cast<double>(counted);
}

}  // namespace

void CostRecorder::start() {
  nsPerTick_ = measureTickRate();
  double threshold = options_.thresholdSeconds > 0 ? options_.thresholdSeconds : 1e-6;
  threshold_ = static_cast<std::uint64_t>(std::max(1.0, threshold * 1e9 / nsPerTick_));
  open_.assign(2, Open{});
  current_ = 0;
  // 200 µs: reading the thread's processor clock is a system call of a
  // microsecond or two on a virtual machine.
  syncTicks_ = static_cast<std::uint64_t>(200000 / nsPerTick_);
  startSeconds_ = steadySeconds();
  startTicks_ = ticks();
  syncedAt_ = startTicks_;
  syncedCpuNs_ = threadCpuNs();
  notRunning_ = 0;
  lastNow_ = startTicks_;
  open_[0].begin = startTicks_;
  if (options_.timeLimitSeconds > 0) {
    deadline_ =
        startTicks_ + static_cast<std::uint64_t>(options_.timeLimitSeconds * 1e9 / nsPerTick_);
  }
}

std::uint64_t CostRecorder::now() {
  std::uint64_t raw = ticks();
  if (raw - syncedAt_ > syncTicks_) sync(raw);
  // Never backwards, though the two clocks disagree by a little.
  lastNow_ = std::max(lastNow_, raw - std::min(raw, notRunning_));
  return lastNow_;
}

void CostRecorder::sync(std::uint64_t raw) {
  double cpu = threadCpuNs();
  double gained = static_cast<double>(raw - syncedAt_) * nsPerTick_ - (cpu - syncedCpuNs_);
  if (gained > 0) notRunning_ += static_cast<std::uint64_t>(gained / nsPerTick_);
  syncedAt_ = raw;
  syncedCpuNs_ = cpu;
}

void CostRecorder::cursorOpens(int depth) {
  openingDepth_ = depth;
  openMark_ = now();
  justEnded_ = false;
}

void CostRecorder::stepBegins(int depth) {
  // Right after a sibling's end the clock is not read again: the few
  // instructions between the two go to this step.
  std::uint64_t now = justEnded_ ? endedAt_ : this->now();
  justEnded_ = false;
  std::size_t at = static_cast<std::size_t>(depth) + 1;
  if (at >= open_.size()) open_.resize(at + 1);
  if (openingDepth_ == depth) {
    open_[at - 1].openTime = now - openMark_;
    openingDepth_ = -1;
  }
  Open& step = open_[at];
  step.begin = now;
  step.patterns = 0;
  step.openTime = 0;
  current_ = at;
  ++steps_;
  if (deadline_ != 0 && now > deadline_) stop_.store(true, std::memory_order_relaxed);
}

void CostRecorder::stepEnds(int depth) {
  std::uint64_t now = this->now();
  std::size_t at = static_cast<std::size_t>(depth) + 1;
  Open& step = open_[at];
  Open& parent = open_[at - 1];
  std::uint64_t time = now - step.begin;
  parent.patterns += step.patterns;
  if (time >= threshold_ && !step.children.empty()) {
    parent.children.push_back(keep(step, time));
  } else {
    addSmall(parent.children, CostNode{time, 0, step.patterns, 1, 0, 0, false});
  }
  step.children.clear();
  current_ = at - 1;
  endedAt_ = now;
  justEnded_ = true;
  if (pool_.size() > options_.nodeBudget) {
    coarsen(threshold_ * 2);
    justEnded_ = false;  // the time it took is the parent's
  }
}

bool CostRecorder::take(const int* edges, int length, int support) {
  (void)edges;
  (void)support;
  ++open_[current_].patterns;
  ++patterns_;
  edges_ += static_cast<std::uint64_t>(length);
  return true;
}

void CostRecorder::addSmall(std::vector<CostNode>& siblings, const CostNode& small) const {
  if (!siblings.empty() && !siblings.back().kept &&
      siblings.back().time + small.time < threshold_) {
    CostNode& run = siblings.back();
    run.time += small.time;
    run.patterns += small.patterns;
    run.steps += small.steps;
    return;
  }
  siblings.push_back(small);
}

CostNode CostRecorder::keep(Open& step, std::uint64_t time) {
  CostNode node{time,
                step.openTime,
                step.patterns,
                1,
                static_cast<std::uint32_t>(pool_.size()),
                static_cast<std::uint32_t>(step.children.size()),
                true};
  pool_.insert(pool_.end(), step.children.begin(), step.children.end());
  return node;
}

std::vector<CostNode> CostRecorder::coarsened(const CostNode* list, std::size_t count,
                                              std::vector<CostNode>& pool) const {
  std::vector<CostNode> out;
  for (std::size_t k = 0; k < count; ++k) {
    CostNode node = list[k];
    if (!node.kept || node.time < threshold_) {
      addSmall(out, CostNode{node.time, 0, node.patterns, node.steps, 0, 0, false});
      continue;
    }
    std::vector<CostNode> children =
        coarsened(pool_.data() + node.firstChild, node.childCount, pool);
    node.firstChild = static_cast<std::uint32_t>(pool.size());
    node.childCount = static_cast<std::uint32_t>(children.size());
    pool.insert(pool.end(), children.begin(), children.end());
    out.push_back(node);
  }
  return out;
}

void CostRecorder::coarsen(std::uint64_t threshold) {
  do {
    threshold_ = std::max(threshold_, threshold);
    threshold = threshold_ * 2;
    std::vector<CostNode> pool;
    for (std::size_t at = 0; at <= current_; ++at) {
      open_[at].children = coarsened(open_[at].children.data(), open_[at].children.size(), pool);
    }
    pool_.swap(pool);
  } while (pool_.size() > options_.nodeBudget / 2);
}

void CostRecorder::toNanoseconds(CostTree& tree, double nsPerTick) const {
  auto convert = [nsPerTick](std::uint64_t value) {
    return static_cast<std::uint64_t>(std::llround(static_cast<double>(value) * nsPerTick));
  };
  for (CostNode* node = tree.nodes.data(); node != tree.nodes.data() + tree.nodes.size(); ++node) {
    node->time = convert(node->time);
    node->openTime = convert(node->openTime);
  }
  tree.root.time = convert(tree.root.time);
  tree.root.openTime = convert(tree.root.openTime);
  tree.thresholdNs = convert(threshold_);
}

CostTree CostRecorder::finish() {
  CostTree tree;
  tree.partial = stop_.load();
  while (current_ > 0) stepEnds(static_cast<int>(current_) - 1);
  std::uint64_t endTicks = ticks();
  double seconds = steadySeconds() - startSeconds_;
  std::uint64_t wall = endTicks - startTicks_;
  if (wall > 0) nsPerTick_ = seconds * 1e9 / static_cast<double>(wall);
  sync(endTicks);
  std::uint64_t total = wall - std::min(wall, notRunning_);
  if (options_.thresholdSeconds <= 0) {
    auto target = static_cast<std::uint64_t>(static_cast<double>(total) / options_.targetUnits);
    if (target > threshold_) coarsen(target);
  }
  Open& top = open_[0];
  tree.root = keep(top, total);
  tree.root.openTime = top.openTime;
  tree.nodes = std::move(pool_);
  tree.steps = steps_;
  double meanEdges =
      patterns_ == 0 ? 0 : static_cast<double>(edges_) / static_cast<double>(patterns_);
  // A pattern as the parallel search hands it on: support, length and
  // edges, four bytes each.
  tree.recordBytes = 4 * (2 + meanEdges);
  toNanoseconds(tree, nsPerTick_);
  return tree;
}

}  // namespace tavrel::scaling
