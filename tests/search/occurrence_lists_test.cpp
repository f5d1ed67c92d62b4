// The top frame's occurrence lists come out the same on any number of
// threads: every candidate's occurrences in ascending transaction order.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "search/occurrence_delivery.h"
#include "search/search_frame.h"

namespace tavrel {
namespace {

TEST(OccurrenceListsTest, SameOnAnyNumberOfThreads) {
  // Enough items that the work is shared, transactions of uneven length
  // so that the blocks cut them unevenly.
  constexpr int kCandidates = 500;
  HorizontalLevel level;
  std::mt19937 random(11);
  ASSERT_TRUE(level.offsets.push(0));
  while (level.items.size() < (std::size_t{1} << 19)) {
    unsigned every = 1 + random() % 8;  // one in `every` candidates
    for (std::uint32_t c = 0; c < kCandidates; ++c) {
      if (random() % every == 0) {
        ASSERT_TRUE(level.items.push(c));
      }
    }
    ASSERT_TRUE(level.offsets.push(level.items.size()));
    ASSERT_TRUE(level.weights.push(1));
  }

  OccurrenceLists one;
  ASSERT_TRUE(listOccurrences(level, kCandidates, std::size_t{1} << 30, 1, one));
  ASSERT_TRUE(one.made);
  for (std::uint32_t c = 0; c < kCandidates; ++c) {
    for (std::uint32_t e = one.start[c]; e < one.start[c + 1]; ++e) {
      const ListedOccurrence& o = one.entries[e];
      ASSERT_EQ(level.items[o.position], c);
      ASSERT_GE(o.position, level.offsets[o.transaction]);
      ASSERT_LT(o.position, level.offsets[o.transaction + 1]);
      if (e > one.start[c]) {
        ASSERT_LT(one.entries[e - 1].transaction, o.transaction);
      }
    }
  }
  ASSERT_EQ(one.start[kCandidates], level.items.size());
  for (int threads : {2, 3}) {
    OccurrenceLists shared;
    ASSERT_TRUE(listOccurrences(level, kCandidates, std::size_t{1} << 30, threads, shared));
    for (std::size_t c = 0; c <= kCandidates; ++c) ASSERT_EQ(shared.start[c], one.start[c]);
    for (std::size_t e = 0; e < level.items.size(); ++e) {
      ASSERT_EQ(shared.entries[e].transaction, one.entries[e].transaction);
      ASSERT_EQ(shared.entries[e].position, one.entries[e].position);
    }
  }
  OccurrenceLists tooLarge;
  ASSERT_TRUE(listOccurrences(level, kCandidates, 1024, 2, tooLarge));
  EXPECT_FALSE(tooLarge.made);
}

}  // namespace
}  // namespace tavrel
