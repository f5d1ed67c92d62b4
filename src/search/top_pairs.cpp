#include "search/top_pairs.h"

#include <algorithm>
#include <vector>

#include "base/parallel_blocks.h"
#include "search/search_frame.h"

namespace tavrel {

bool TopPairs::countPairs(const HorizontalLevel& top, std::size_t first, std::size_t last,
                          std::uint32_t* counts, const std::atomic<bool>* stop) const {
  for (std::size_t t = first; t < last; ++t) {
    if (stop != nullptr && stop->load(std::memory_order_relaxed)) return false;
    std::uint32_t weight = static_cast<std::uint32_t>(top.weights[t]);
    const std::uint32_t* end = top.items.data() + top.offsets[t + 1];
    for (const std::uint32_t* a = top.items.data() + top.offsets[t]; a < end; ++a) {
      // Row a, shifted so that item b lands at its entry b - a - 1.
      std::uint32_t* row = counts + rowStart(*a) - *a - 1;
#pragma GCC unroll 4
      for (const std::uint32_t* b = a + 1; b < end; ++b) row[*b] += weight;
    }
  }
  return true;
}

namespace {

// Where each of `blocks` runs of transactions starts (and, last, where the
// final one ends), so that each run holds about the same sum of squared
// transaction lengths.
std::vector<std::size_t> blocksByWork(const HorizontalLevel& top, std::size_t blocks) {
  std::size_t transactions = top.transactionCount();
  std::vector<std::size_t> from(blocks + 1, transactions);
  from[0] = 0;
  std::size_t done = 0;
  std::size_t k = 1;
  for (std::size_t t = 0; t < transactions && k < blocks; ++t) {
    std::size_t length = top.offsets[t + 1] - top.offsets[t];
    done += length * length;
    // Block k starts once k of the blocks' shares are done.
    while (k < blocks && done * blocks >= top.squaredLengths * k) from[k++] = t + 1;
  }
  return from;
}

}  // namespace

bool TopPairs::build(const HorizontalLevel& top, std::size_t candidates, int minSup, int threads,
                     const std::atomic<bool>* stop) {
  available_ = false;
  candidates_ = candidates;
  std::size_t pairs = candidates * (candidates > 0 ? candidates - 1 : 0) / 2;
  if (candidates < 2 || pairs * sizeof(std::uint32_t) > kMostBytes) return true;
  rowWords_ = (candidates + 63) / 64;
  if (!counts_.assign(pairs, 0) || !frequent_.assign(candidates * rowWords_, 0)) return false;
  std::size_t transactions = top.transactionCount();
  // A transaction of n items adds n(n-1)/2 counts: the blocks share that
  // work, not the transactions (a few hundred long strings can take as
  // long as a million short ones).
  constexpr std::size_t kSharedWork = std::size_t{1} << 22;  // squared items
  std::size_t blocks = threads > 1 && top.squaredLengths >= kSharedWork && transactions >= 2
                           ? std::min(static_cast<std::size_t>(threads), transactions)
                           : 1;
  std::vector<std::size_t> from = blocksByWork(top, blocks);
  std::vector<Buffer<std::uint32_t>> parts(blocks - 1);
  std::vector<char> fine(blocks, 0);
  std::atomic<bool> stopped{false};
  forEachBlock(blocks, [&](std::size_t k) {
    std::uint32_t* counts = counts_.data();
    if (k > 0) {
      if (!parts[k - 1].assign(pairs, 0)) return;
      counts = parts[k - 1].data();
    }
    if (!countPairs(top, from[k], from[k + 1], counts, stop)) {
      stopped.store(true, std::memory_order_relaxed);
    }
    fine[k] = 1;
  });
  if (std::find(fine.begin(), fine.end(), 0) != fine.end()) return false;
  if (stopped.load(std::memory_order_relaxed)) return true;
  for (const Buffer<std::uint32_t>& part : parts) {
    for (std::size_t p = 0; p < pairs; ++p) counts_[p] += part[p];
  }
  std::uint32_t threshold = static_cast<std::uint32_t>(minSup);
  for (std::uint32_t a = 0; a < candidates; ++a) {
    const std::uint32_t* row = countsAfter(a);
    std::uint64_t* bits = frequent_.data() + a * rowWords_;
    for (std::size_t b = a + 1; b < candidates; ++b) {
      if (row[b - a - 1] >= threshold) bits[b / 64] |= std::uint64_t{1} << (b % 64);
    }
  }
  available_ = true;
  return true;
}

}  // namespace tavrel
