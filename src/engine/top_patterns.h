// The top k of a run: the k patterns of highest support that the search
// hands over, ties to the earlier, handed on in the search's order once
// the search ends.
#pragma once

#include <atomic>
#include <cstdint>

#include "base/buffer.h"
#include "search/closed_set_sink.h"

namespace tavrel {

class TopPatterns : public ClosedSetSink {
 public:
  // Keeps the best `k` (at least 1) of patterns of support >= minSup.
  TopPatterns(std::int64_t k, int minSup);
  ~TopPatterns() override;
  TopPatterns(const TopPatterns&) = delete;
  TopPatterns& operator=(const TopPatterns&) = delete;

  // Keeps the pattern when it is among the best k so far. The patterns come
  // in the search's order, so a later one enters only with a support above
  // the least kept. False when memory ran out (see outOfMemory()).
  bool take(const int* edges, int length, int support) override;

  // The least support that a pattern the search has not handed over yet
  // needs to enter: it only rises (for SearchConditions::leastSupport).
  const std::atomic<int>& leastSupport() const { return least_; }
  bool outOfMemory() const { return outOfMemory_; }

  // Hands the kept patterns to `sink` in the order they came, until it
  // asks to stop. False when it did.
  bool handOn(ClosedSetSink& sink);

 private:
  struct Kept {
    std::int64_t order;
    int support;
    int length;
    int* edges;  // malloc'ed, owned
  };
  // True when `a` is worse than `b`: lower support, or as high and later.
  static bool worse(const Kept& a, const Kept& b);

  std::int64_t k_;
  int minSup_;
  std::int64_t taken_ = 0;
  Buffer<Kept> heap_;  // the worst kept first
  std::atomic<int> least_;
  bool outOfMemory_ = false;
};

}  // namespace tavrel
