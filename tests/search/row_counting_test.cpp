#include "search/row_counting.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <utility>
#include <vector>

namespace tavrel {
namespace {

#ifdef TAVREL_VECTOR_ROWS
struct Answers {
  int count;
  bool allIn;
  int rowsOfFirstBlock;
};

TAVREL_VECTOR_TARGET Answers vectorAnswers(const std::vector<std::uint32_t>& index,
                                           const std::vector<std::uint64_t>& bits, int baseWords,
                                           const std::vector<std::uint64_t>& rows,
                                           const std::vector<int>& rowsFrom, int least) {
  VectorRows counter(index.data(), bits.data(), bits.size(), baseWords);
  return {counter.countAtLeast(rows.data(), rowsFrom.data(), least), counter.allIn(rows.data()),
          VectorRows::rowsIn(bits.data(), std::min(bits.size(), kBlockWords))};
}

// The words that VectorRows::keep() writes for the rows `rows` of a dense
// step's (identity index, bits), without the empty ones it may keep.
TAVREL_VECTOR_TARGET std::vector<std::pair<std::uint32_t, std::uint64_t>> vectorKept(
    const std::vector<std::uint32_t>& index, const std::vector<std::uint64_t>& bits,
    const std::vector<std::uint64_t>& rows) {
  std::size_t n = bits.size();
  std::vector<std::uint32_t> keptIndex(n);
  std::vector<std::uint64_t> keptBits(n);
  std::size_t kept = VectorRows::keep(index.data(), bits.data(), n, rows.data(),
                                      static_cast<int>(n), keptIndex.data(), keptBits.data());
  std::vector<std::pair<std::uint32_t, std::uint64_t>> words;
  for (std::size_t k = 0; k < kept; ++k) {
    if (kept == n) {
      EXPECT_EQ(keptIndex[k], k);  // all kept: in order
    }
    if (keptBits[k] != 0) words.emplace_back(keptIndex[k], keptBits[k]);
  }
  return words;
}
#endif

TEST(RowCountingTest, VectorCountsAgreeWithScalarOnesForEveryLength) {
#ifndef TAVREL_VECTOR_ROWS
  GTEST_SKIP() << "no vector build on this compiler or processor family";
#else
  if (!vectorRowsAvailable()) GTEST_SKIP() << "this processor has no 512-bit population count";
  std::mt19937_64 random(20261210);
  for (std::size_t words = 1; words <= 50; ++words) {
    for (int round = 0; round < 60; ++round) {
      // Dense steps (every word of the base, some of them empty) and
      // sparse ones (every other word of a base twice as long).
      bool dense = round % 4 != 3;
      int baseWords = static_cast<int>(dense ? words : 2 * words);
      std::vector<std::uint32_t> index(words);
      std::vector<std::uint64_t> bits(words);
      for (std::size_t k = 0; k < words; ++k) {
        index[k] = static_cast<std::uint32_t>(dense ? k : 2 * k + 1);
        bits[k] = random() % 5 == 0 ? 0 : random() & random();
      }
      // A candidate that holds every row, or all but one, or about half.
      std::vector<std::uint64_t> rows(static_cast<std::size_t>(baseWords));
      for (std::size_t k = 0; k < words; ++k) {
        rows[index[k]] = round % 3 == 2 ? random() : bits[k] | (random() & random());
      }
      if (round % 5 == 4) {  // most words of the extension empty
        for (std::size_t k = 0; k < words; ++k) {
          if (k % 3 != 0) rows[index[k]] = 0;
        }
      }
      if (round % 3 == 1) {  // one row missing, in each word in turn
        std::size_t k = static_cast<std::size_t>(round / 3) % words;
        bits[k] |= std::uint64_t{1} << 17;
        rows[index[k]] &= ~(std::uint64_t{1} << 17);
      }
      std::vector<int> rowsFrom((words + kBlockWords - 1) / kBlockWords + 1, 0);
      for (std::size_t b = rowsFrom.size() - 1; b-- > 0;) {
        rowsFrom[b] = rowsFrom[b + 1];
        for (std::size_t k = b * kBlockWords; k < std::min(words, (b + 1) * kBlockWords); ++k) {
          rowsFrom[b] += __builtin_popcountll(bits[k]);
        }
      }
      int least = static_cast<int>(random() % (static_cast<std::uint64_t>(rowsFrom[0]) + 2));
      SCOPED_TRACE("words " + std::to_string(words) + ", round " + std::to_string(round));
      ScalarRows scalar(index.data(), bits.data(), words, baseWords);
      int expected = scalar.countAtLeast(rows.data(), rowsFrom.data(), 0);  // exact
      Answers got = vectorAnswers(index, bits, baseWords, rows, rowsFrom, least);
      if (expected >= least) {
        EXPECT_EQ(got.count, expected);
      } else {
        EXPECT_LT(got.count, least);
      }
      EXPECT_EQ(got.allIn, scalar.allIn(rows.data()));
      EXPECT_EQ(got.rowsOfFirstBlock, rowsFrom[0] - rowsFrom[1]);
      if (dense) {  // the extension of the step by `rows`
        std::vector<std::uint32_t> keptIndex(words);
        std::vector<std::uint64_t> keptBits(words);
        std::size_t kept = ScalarRows::keep(index.data(), bits.data(), words, rows.data(),
                                            baseWords, keptIndex.data(), keptBits.data());
        std::vector<std::pair<std::uint32_t, std::uint64_t>> expectedWords;
        for (std::size_t k = 0; k < kept; ++k)
          expectedWords.emplace_back(keptIndex[k], keptBits[k]);
        EXPECT_EQ(vectorKept(index, bits, rows), expectedWords);
      }
    }
  }
#endif
}

}  // namespace
}  // namespace tavrel
