#include "engine/top_patterns.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace tavrel {

TopPatterns::TopPatterns(std::int64_t k, int minSup)
    : k_(std::max<std::int64_t>(k, 1)), minSup_(minSup), least_(minSup) {}

TopPatterns::~TopPatterns() {
  for (Kept& kept : heap_) std::free(kept.edges);
}

bool TopPatterns::worse(const Kept& a, const Kept& b) {
  return a.support != b.support ? a.support < b.support : a.order > b.order;
}

bool TopPatterns::take(const int* edges, int length, int support) {
  std::int64_t order = taken_++;
  bool full = static_cast<std::int64_t>(heap_.size()) >= k_;
  if (full && support <= heap_[0].support) return true;  // later, and no better
  auto* copy = static_cast<int*>(std::malloc(sizeof(int) * static_cast<std::size_t>(length)));
  if (copy == nullptr || (!full && !heap_.reserve(heap_.size() + 1))) {
    std::free(copy);
    outOfMemory_ = true;
    return false;
  }
  std::memcpy(copy, edges, sizeof(int) * static_cast<std::size_t>(length));
  // A max-heap on "worse": the worst kept stands first.
  auto byWorse = [](const Kept& a, const Kept& b) { return worse(b, a); };
  if (full) {
    std::pop_heap(heap_.begin(), heap_.end(), byWorse);
    std::free(heap_[heap_.size() - 1].edges);
    heap_[heap_.size() - 1] = Kept{order, support, length, copy};
  } else {
    heap_.push(Kept{order, support, length, copy});  // room reserved above
  }
  std::push_heap(heap_.begin(), heap_.end(), byWorse);
  if (static_cast<std::int64_t>(heap_.size()) >= k_) {
    // A pattern still to come is later than every kept one: it needs more.
    least_.store(std::max(minSup_, heap_[0].support + 1), std::memory_order_relaxed);
  }
  return true;
}

bool TopPatterns::handOn(ClosedSetSink& sink) {
  std::sort(heap_.begin(), heap_.end(),
            [](const Kept& a, const Kept& b) { return a.order < b.order; });
  for (const Kept& kept : heap_) {
    if (!sink.take(kept.edges, kept.length, kept.support)) return false;
  }
  return true;
}

}  // namespace tavrel
