// The pairs of the top frame's candidates: for each pair, the number of
// strings that hold both, counted once for all pairs when there are few
// enough candidates. The top frame reads its extensions' counts from here
// instead of counting them, and the frames below skip the pairs that fewer
// than minSup strings hold: no pattern holds such a pair, so counting it
// could only find what is too rare.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "base/buffer.h"

namespace tavrel {

struct HorizontalLevel;

class TopPairs {
 public:
  // Counts every pair of the top frame's `candidates` candidates in its
  // transactions (on up to `threads` threads, blocks of transactions into
  // counters of their own, added up), when the counters take at most
  // kMostBytes; otherwise leaves the table unavailable. Counting takes long
  // on long strings, so it polls `stop` and, when it is raised, leaves the
  // table unavailable too (the search, which then stops, does without it).
  // False when memory ran out.
  bool build(const HorizontalLevel& top, std::size_t candidates, int minSup, int threads = 1,
             const std::atomic<bool>* stop = nullptr);

  bool available() const { return available_; }

  // The counts of the pairs (a, b) for b = a + 1, a + 2, ...: entry
  // b - a - 1 of the row.
  const std::uint32_t* countsAfter(std::uint32_t a) const { return counts_.data() + rowStart(a); }

  // The pairs (a, b) that at least minSup strings hold, as bits indexed by b.
  const std::uint64_t* frequentWith(std::uint32_t a) const {
    return frequent_.data() + static_cast<std::size_t>(a) * rowWords_;
  }
  static bool holds(const std::uint64_t* row, std::uint32_t b) {
    return (row[b / 64] >> (b % 64)) & 1;
  }

  static constexpr std::size_t kMostBytes = std::size_t{8} << 20;

 private:
  // Adds the pairs of transactions [first, last) to `counts`; false when
  // `stop` was raised before the last one.
  bool countPairs(const HorizontalLevel& top, std::size_t first, std::size_t last,
                  std::uint32_t* counts, const std::atomic<bool>* stop) const;
  std::size_t rowStart(std::uint32_t a) const {
    std::size_t k = a;
    return k * candidates_ - k * (k + 1) / 2;
  }

  bool available_ = false;
  std::size_t candidates_ = 0;
  std::size_t rowWords_ = 0;
  Buffer<std::uint32_t> counts_;
  Buffer<std::uint64_t> frequent_;
};

}  // namespace tavrel
