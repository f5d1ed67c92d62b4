// The third pass and the merged transaction database it builds.
#include "transactions/edge_database.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "driver/run.h"
#include "input/first_pass.h"
#include "input/string_line.h"
#include "pairs/pair_statistics.h"
#include "state/global_state.h"
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
  resetState();
  stringDbFilename = dir.write("db.txt", "4 1 2 3 4\n3 1 3 4\n3 1 2 4\n2 2 4\n");
  totalItems = 6;
  maxItemLength = 4;
  stringCount = 4;
  minSup = 2;
  ASSERT_EQ(countItems(), 0);
  ASSERT_EQ(buildPairStatistics(), 0);
  ASSERT_EQ(edgeCount, 5);

  // Each string's transaction, from its frequent list; the bit set is left clear.
  int* edgeIdOfPair = makeEdgeIdMatrix();
  ASSERT_NE(edgeIdOfPair, nullptr);
  StringReader reader;
  ASSERT_EQ(openStringReader(&reader), 0);
  Transactions transactions;
  while (nextString(&reader) > 0) {
    std::vector<int> frequentList;
    for (int k = 0; k < reader.itemCount; ++k) {
      frequentList.push_back(itemTable[reader.items[k]].frequentIndex);
    }
    std::vector<std::uint32_t> transaction(edgeCount);
    std::vector<std::uint64_t> held(edgeCount / 64 + 1);
    std::size_t length = makeEdgeTransaction(frequentList.data(), reader.itemCount, edgeIdOfPair,
                                             held.data(), transaction.data());
    EXPECT_EQ(held, std::vector<std::uint64_t>(edgeCount / 64 + 1));
    transaction.resize(length);
    transactions.push_back(transaction);
  }
  closeStringReader(&reader);
  delete[] edgeIdOfPair;
  EXPECT_EQ(transactions, (Transactions{{0, 1, 2, 3, 4}, {0, 3, 4}, {0, 1, 2}, {1}}));

  ASSERT_EQ(buildEdgeDatabase(), 0);
  EXPECT_EQ(edgeDatabase.rootSupport, 4);
  EXPECT_EQ(contents(edgeDatabase),
            (std::vector<std::pair<std::vector<std::uint32_t>, int>>{
                {{0, 1, 2, 3, 4}, 1}, {{0, 3, 4}, 1}, {{0, 1, 2}, 1}, {{1}, 1}}));
  for (int e = 0; e < edgeCount; ++e) EXPECT_EQ(edgeDatabase.supports[e], edgeTable[e].support);
  resetState();
}

TEST(EdgeDatabaseTest, NoEdgeLeavesNoTransaction) {
  testing::ScratchDir dir;
  resetState();
  // 0 and 1 are frequent but never meet in one string.
  stringDbFilename = dir.write("db.txt", "1 0\n1 1\n1 0\n1 1\n");
  totalItems = 2;
  maxItemLength = 1;
  stringCount = 7;
  minSup = 2;
  ASSERT_EQ(countItems(), 0);
  ASSERT_EQ(buildPairStatistics(), 0);
  ASSERT_EQ(buildEdgeDatabase(), 0);
  EXPECT_EQ(edgeCount, 0);
  EXPECT_EQ(edgeDatabase.rootSupport, 7);
  EXPECT_EQ(edgeDatabase.transactionCount(), 0u);
  resetState();
}

}  // namespace
}  // namespace tavrel
