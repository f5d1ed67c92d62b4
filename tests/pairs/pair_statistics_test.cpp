// The second pass's cells and the numbering of the frequent edges.
#include "pairs/pair_statistics.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/run.h"
#include "input/first_pass.h"
#include "pairs/edge_table.h"
#include "state/global_state.h"
#include "state/memory.h"
#include "support/test_support.h"

namespace tavrel {
namespace {

using testing::ScratchDir;

// Items of the examples; item 9 stands for an infrequent item.
enum : int { a = 0, b = 1, x = 2, y = 3, z = 4, w = 5 };

// Runs the first two passes over `db` (totalItems 10) with the given
// min_sup.
void twoPasses(const ScratchDir& dir, const std::string& db, int support = 1) {
  resetState();
  stringDbFilename = dir.write("db.txt", db);
  totalItems = 10;
  maxItemLength = 10;
  stringCount = 100;
  minSup = support;
  ASSERT_EQ(countItems(), 0);
  ASSERT_EQ(buildPairStatistics(), 0);
}

const PairCell& cell(int from, int to) {
  return pairMatrix[itemTable[from].frequentIndex][itemTable[to].frequentIndex];
}

// The live and removed (-1) entries of a cell's between array, which keeps
// the length of the pair's first window.
std::vector<int> betweenArray(int from, int to, int length) {
  const PairCell& c = cell(from, to);
  if (c.between == nullptr) return {};
  return std::vector<int>(c.between, c.between + length);
}

TEST(PairStatisticsTest, InfrequentItemsDoNotSeparate) {
  ScratchDir dir;
  // 9 occurs once and is dropped with min_sup 2, so a and b are adjacent.
  twoPasses(dir, "3 0 9 1\n2 0 1\n", 2);
  EXPECT_EQ(frequentItemCount, 2);
  EXPECT_EQ(cell(a, b).support, 2);
  EXPECT_EQ(cell(a, b).unseen, 0);
  EXPECT_EQ(cell(a, b).betweenCount, 0);
  EXPECT_EQ(cell(a, b).between, nullptr);
  EXPECT_EQ(cell(b, a).support, 0);
  EXPECT_EQ(cell(b, a).unseen, 1);
}

TEST(PairStatisticsTest, FirstWindowIsKept) {
  ScratchDir dir;
  twoPasses(dir, "4 0 2 3 1\n");  // a x y b
  EXPECT_EQ(cell(a, b).support, 1);
  EXPECT_EQ(cell(a, b).betweenCount, 2);
  EXPECT_EQ(betweenArray(a, b, 2), (std::vector<int>{x, y}));
  EXPECT_EQ(cell(a, y).betweenCount, 1);
  EXPECT_EQ(betweenArray(a, y, 1), (std::vector<int>{x}));
  EXPECT_EQ(cell(x, b).betweenCount, 1);
  EXPECT_EQ(betweenArray(x, b, 1), (std::vector<int>{y}));
  for (auto [from, to] : {std::pair{a, x}, std::pair{x, y}, std::pair{y, b}}) {
    EXPECT_EQ(cell(from, to).support, 1);
    EXPECT_EQ(cell(from, to).betweenCount, 0);
    EXPECT_EQ(cell(from, to).between, nullptr);
  }
}

TEST(PairStatisticsTest, WindowsAreIntersected) {
  ScratchDir dir;
  twoPasses(dir, "4 0 2 3 1\n4 0 3 2 1\n");  // a x y b, a y x b: order does not matter
  EXPECT_EQ(cell(a, b).support, 2);
  EXPECT_EQ(cell(a, b).betweenCount, 2);

  twoPasses(dir, "4 0 2 3 1\n4 0 4 5 1\n");  // a x y b, a z w b: nothing always between
  EXPECT_EQ(cell(a, b).betweenCount, 0);
  EXPECT_EQ(betweenArray(a, b, 2), (std::vector<int>{-1, -1}));

  // a x y b, a y b, a y b: x is removed once and never counted again.
  twoPasses(dir, "4 0 2 3 1\n3 0 3 1\n3 0 3 1\n");
  EXPECT_EQ(cell(a, b).support, 3);
  EXPECT_EQ(cell(a, b).betweenCount, 1);
  EXPECT_EQ(betweenArray(a, b, 2), (std::vector<int>{-1, y}));
}

TEST(PairStatisticsTest, AnAdjacentSightingClearsForGood) {
  ScratchDir dir;
  twoPasses(dir, "3 0 2 1\n2 0 1\n");  // a x b, then a b
  EXPECT_EQ(cell(a, b).betweenCount, 0);
  EXPECT_EQ(cell(a, b).between, nullptr);
  twoPasses(dir, "3 0 2 1\n2 0 1\n3 0 2 1\n");  // and a x b again
  EXPECT_EQ(cell(a, b).support, 3);
  EXPECT_EQ(cell(a, b).betweenCount, 0);
  EXPECT_EQ(cell(a, b).between, nullptr);
}

TEST(PairStatisticsTest, RepeatedItemsInOneStringCountPositionPairs) {
  // The first pass rejects such lines; the pass itself handles them.
  resetState();
  totalItems = 2;
  minSup = 1;
  itemTable = newArray<ItemInfo>(2);
  for (int item = 0; item < 2; ++item) {
    itemTable[item].occurrences = 2;
    itemTable[item].frequent = 1;
    itemTable[item].frequentIndex = item;
  }
  frequentItemCount = 2;
  pairMatrix = newArray<PairCell*>(2);
  for (int row = 0; row < 2; ++row) pairMatrix[row] = newArray<PairCell>(2);
  const int list[] = {a, b, a, b};
  ASSERT_EQ(addFrequentList(list, 4), 0);
  EXPECT_EQ(cell(a, b).support, 3);
  EXPECT_EQ(cell(a, b).betweenCount, 0);
  EXPECT_EQ(cell(b, a).support, 1);
  EXPECT_EQ(cell(a, a).support, 1);
  EXPECT_EQ(betweenArray(a, a, 1), (std::vector<int>{b}));
  EXPECT_EQ(cell(b, b).support, 1);
  EXPECT_EQ(betweenArray(b, b, 1), (std::vector<int>{a}));
  resetState();
}

TEST(PairStatisticsTest, EmptyCases) {
  ScratchDir dir;
  twoPasses(dir, "1 0\n1 1\n2 0 1\n", 5);  // no frequent item
  EXPECT_EQ(frequentItemCount, 0);
  EXPECT_EQ(edgeCount, 0);
  EXPECT_TRUE(edgeIndex.empty());

  twoPasses(dir, "1 0\n1 1\n", 1);  // frequent items, no pair met
  EXPECT_EQ(frequentItemCount, 2);
  EXPECT_EQ(edgeCount, 0);
  EXPECT_EQ(cell(a, b).unseen, 1);
}

// Sets up the matrix of the numbering example: totalItems 10, frequent
// items 1, 2, 3.
void numberingExample() {
  resetState();
  totalItems = 10;
  minSup = 5;
  frequentItemCount = 3;
  frequentItems = newArray<int>(3);
  for (int k = 0; k < 3; ++k) frequentItems[k] = k + 1;
  pairMatrix = newArray<PairCell*>(3);
  for (int row = 0; row < 3; ++row) pairMatrix[row] = newArray<PairCell>(3);
  pairMatrix[0][1].support = 5;
  pairMatrix[0][2].support = 7;
  pairMatrix[1][0].support = 5;
}

TEST(EdgeTableTest, NumbersByDescendingSupportThenPairCode) {
  numberingExample();
  pairMatrix[2][0].support = 4;  // below min_sup
  pairMatrix[2][1].support = 9;  // an item always between
  pairMatrix[2][1].betweenCount = 1;
  ASSERT_EQ(buildEdgeTable(), 0);
  ASSERT_EQ(edgeCount, 3);
  std::vector<std::tuple<int, long long, int>> records;
  for (int e = 0; e < edgeCount; ++e) {
    records.emplace_back(edgeTable[e].edgeId, edgeTable[e].pairCode, edgeTable[e].support);
  }
  EXPECT_EQ(records,
            (std::vector<std::tuple<int, long long, int>>{{0, 13, 7}, {1, 12, 5}, {2, 21, 5}}));
  EXPECT_EQ(edgeIndex, (std::map<std::int64_t, int>{{12, 1}, {13, 0}, {21, 2}}));
  resetState();
}

TEST(EdgeTableTest, SupportEqualToMinSupPassesAndDiagonalCellsAreEdges) {
  numberingExample();
  pairMatrix[1][1].support = 6;
  minSup = 6;
  ASSERT_EQ(buildEdgeTable(), 0);
  ASSERT_EQ(edgeCount, 2);
  EXPECT_EQ(edgeTable[0].pairCode, 13);
  EXPECT_EQ(edgeTable[1].pairCode, 22);  // 2 -> 2
  resetState();
}

TEST(EdgeTableTest, HighItemNumbersKeepTheirPairCode) {
  // 49998 * 50000 + 49999 does not fit in 32 bits.
  ScratchDir dir;
  std::string spec = dir.writeDatabase("2 49998 49999\n3 7 49998 49999\n", 50000, 3, 2);
  testing::RunResult result = testing::runInProcess({spec, "2"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(testing::normalizeRuntime(result.out),
            testing::completeRunOutput("Pattern 1 Support = 2: \n49998-49999\t\n\n", 1));
}

}  // namespace
}  // namespace tavrel
