// The third pass and the merged transaction database it builds.
#include "transactions/edge_database.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "input/first_pass.h"
#include "pairs/pair_statistics.h"
#include "support/test_support.h"
#include "transactions/third_pass.h"

namespace tavrel {
namespace {

using Transactions = std::vector<std::vector<std::uint32_t>>;

// The database's transactions with their weights, in the order kept.
std::vector<std::pair<std::vector<std::uint32_t>, int>> contents(const EdgeDatabase& database) {
  std::vector<std::pair<std::vector<std::uint32_t>, int>> result;
  for (std::size_t t = 0; t < database.transactionCount(); ++t) {
    result.emplace_back(
        std::vector<std::uint32_t>(database.items.begin() + database.offsets[t],
                                   database.items.begin() + database.offsets[t + 1]),
        database.weights[t]);
  }
  return result;
}

TEST(EdgeDatabaseTest, EqualTransactionsAreMergedAndEveryEdgeCounted) {
  EdgeDatabaseBuilder builder;
  Transactions strings{{0, 2, 5}, {1}, {}, {0, 2, 5}, {0, 2}, {1}, {0, 2, 5}, {}, {0, 2, 4}};
  // Enough distinct transactions that the merge table has to grow.
  for (std::uint32_t k = 0; k < 3000; ++k) strings.push_back({k % 6, 6 + k});
  builder.start(3006, 3009);
  for (const auto& string : strings) ASSERT_TRUE(builder.add(string.data(), string.size()));
  EdgeDatabase database = builder.finish();
  EXPECT_EQ(database.rootSupport, 3009);
  EXPECT_EQ(database.transactionCount(), 4u + 3000u);
  auto kept = contents(database);
  kept.resize(5);
  EXPECT_EQ(kept, (std::vector<std::pair<std::vector<std::uint32_t>, int>>{
                      {{0, 2, 5}, 3}, {{1}, 2}, {{0, 2}, 1}, {{0, 2, 4}, 1}, {{0, 6}, 1}}));
  EXPECT_EQ(database.supports[0], 5 + 500);
  EXPECT_EQ(database.supports[2], 5 + 500);
  EXPECT_EQ(database.supports[5], 3 + 500);
  EXPECT_EQ(database.supports[3005], 1);
}

TEST(EdgeDatabaseTest, ThreePassesOverTheFourStringExample) {
  testing::ScratchDir dir;
  testing::PassRun pass;
  ASSERT_TRUE(pass.open(dir.writeDatabase("4 1 2 3 4\n3 1 3 4\n3 1 2 4\n2 2 4\n", 6, 4, 4), 2));
  RunState& run = pass.run;
  ASSERT_EQ(countItems(run, *pass.feed), 0);
  ASSERT_EQ(buildPairStatistics(run, *pass.feed), 0);
  ASSERT_EQ(run.edgeCount, 5);

  // Each string's transaction, from its frequent list; the bit set is left clear.
  Buffer<int> edgeIdOfPair;
  ASSERT_TRUE(makeEdgeIdMatrix(run, edgeIdOfPair));
  const std::vector<std::vector<int>> strings{{1, 2, 3, 4}, {1, 3, 4}, {1, 2, 4}, {2, 4}};
  Transactions transactions;
  for (const auto& string : strings) {
    std::vector<int> frequentList;
    for (int item : string) frequentList.push_back(run.itemTable[item].frequentIndex);
    std::vector<std::uint32_t> transaction(run.edgeCount);
    std::vector<std::uint64_t> held(run.edgeCount / 64 + 1);
    std::size_t length =
        makeEdgeTransaction(run, frequentList.data(), static_cast<int>(frequentList.size()),
                            edgeIdOfPair.data(), held.data(), transaction.data());
    EXPECT_EQ(held, std::vector<std::uint64_t>(run.edgeCount / 64 + 1));
    transaction.resize(length);
    transactions.push_back(transaction);
  }
  EXPECT_EQ(transactions, (Transactions{{0, 1, 2, 3, 4}, {0, 3, 4}, {0, 1, 2}, {1}}));

  ASSERT_EQ(buildEdgeDatabase(run, *pass.feed), 0);
  EXPECT_EQ(run.edgeDatabase.rootSupport, 4);
  EXPECT_EQ(contents(run.edgeDatabase),
            (std::vector<std::pair<std::vector<std::uint32_t>, int>>{
                {{0, 1, 2, 3, 4}, 1}, {{0, 3, 4}, 1}, {{0, 1, 2}, 1}, {{1}, 1}}));
  for (int e = 0; e < run.edgeCount; ++e) {
    EXPECT_EQ(run.edgeDatabase.supports[e], run.edgeTable[e].support);
  }
}

TEST(EdgeDatabaseTest, NoEdgeLeavesNoTransaction) {
  testing::ScratchDir dir;
  testing::PassRun pass;
  // 0 and 1 are frequent but never meet in one string.
  ASSERT_TRUE(pass.open(dir.writeDatabase("1 0\n1 1\n1 0\n1 1\n", 2, 1, 7), 2));
  RunState& run = pass.run;
  ASSERT_EQ(countItems(run, *pass.feed), 0);
  ASSERT_EQ(buildPairStatistics(run, *pass.feed), 0);
  ASSERT_EQ(buildEdgeDatabase(run, *pass.feed), 0);
  EXPECT_EQ(run.edgeCount, 0);
  EXPECT_EQ(run.edgeDatabase.rootSupport, 7);
  EXPECT_EQ(run.edgeDatabase.transactionCount(), 0u);
}

}  // namespace
}  // namespace tavrel
