// The top frame's pair count on several threads (long transactions, whose
// squared lengths pass the count's kSharedWork) and its stop path.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <random>
#include <vector>

#include "parallel/parallel_search.h"
#include "search/search_settings.h"
#include "search/top_frame.h"
#include "transactions/edge_database.h"

namespace tavrel {
namespace {

using Transactions = std::vector<std::vector<std::uint32_t>>;

// 100 transactions, each holding each of 300 edges with probability 0.85:
// about 6.5 million squared items.
Transactions longTransactions() {
  std::mt19937 random(11);
  std::bernoulli_distribution holds(0.85);
  Transactions transactions(100);
  for (auto& transaction : transactions) {
    for (std::uint32_t e = 0; e < 300; ++e) {
      if (holds(random)) transaction.push_back(e);
    }
  }
  return transactions;
}

EdgeDatabase databaseOf(const Transactions& transactions) {
  EdgeDatabaseBuilder builder;
  EXPECT_TRUE(builder.start(300, static_cast<int>(transactions.size())));
  for (const auto& transaction : transactions) {
    EXPECT_TRUE(builder.add(transaction.data(), transaction.size()));
  }
  return builder.finish();
}

// Per edge: which transactions hold it.
std::vector<std::vector<bool>> holders(const Transactions& transactions) {
  std::vector<std::vector<bool>> holding(300, std::vector<bool>(transactions.size()));
  for (std::size_t t = 0; t < transactions.size(); ++t) {
    for (std::uint32_t e : transactions[t]) holding[e][t] = true;
  }
  return holding;
}

TEST(TopPairsTest, SeveralThreadsCountEveryPairOnce) {
  constexpr int kMinSup = 75;
  Transactions transactions = longTransactions();
  std::vector<std::vector<bool>> holding = holders(transactions);
  for (int threads : {1, 2, 3}) {
    EdgeDatabase database = databaseOf(transactions);
    SearchShared shared;
    setSearchSettings(shared, kMinSup, threads, FramePolicy::kCheapest, true, nullptr, nullptr);
    FrameData top;
    ASSERT_TRUE(openTopFrame(database, top, shared));
    ASSERT_GE(top.horizontal.squaredLengths, std::size_t{1} << 22);
    const TopPairs& pairs = shared.topPairs;
    ASSERT_TRUE(pairs.available()) << threads;
    int candidates = top.candidateCount();
    ASSERT_GT(candidates, 100);
    for (int a = 0; a < candidates; ++a) {
      const std::uint32_t* counts = pairs.countsAfter(static_cast<std::uint32_t>(a));
      for (int b = a + 1; b < candidates; ++b) {
        std::uint32_t both = 0;
        for (std::size_t t = 0; t < transactions.size(); ++t) {
          both += holding[top.edgeOf[a]][t] && holding[top.edgeOf[b]][t];
        }
        ASSERT_EQ(counts[b - a - 1], both) << threads << " threads, pair " << a << ", " << b;
        ASSERT_EQ(TopPairs::holds(pairs.frequentWith(static_cast<std::uint32_t>(a)),
                                  static_cast<std::uint32_t>(b)),
                  both >= kMinSup);
      }
    }
  }
}

TEST(TopPairsTest, AStopLeavesTheCountUnavailableAndTheSearchStops) {
  Transactions transactions = longTransactions();
  std::atomic<bool> stop{true};
  EdgeDatabase database = databaseOf(transactions);
  SearchShared shared;
  setSearchSettings(shared, 75, 3, FramePolicy::kCheapest, true, &stop, nullptr);
  FrameData top;
  ASSERT_TRUE(openTopFrame(database, top, shared));
  EXPECT_FALSE(shared.topPairs.available());

  class CountingSink : public ClosedSetSink {
   public:
    bool take(const int*, int, int) override { return ++patterns < 1000000; }
    long long patterns = 0;
  } sink;
  parallel::ParallelOptions options;
  options.threads = 3;
  options.stop = &stop;
  EdgeDatabase again = databaseOf(transactions);
  EXPECT_EQ(parallel::searchInParallel(again, 75, sink, options), SearchOutcome::kStopped);
  EXPECT_LE(sink.patterns, 1);  // at most the top frame's own pattern
}

}  // namespace
}  // namespace tavrel
