// The second pass's cells and the numbering of the frequent edges.
#include "pairs/pair_statistics.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input/first_pass.h"
#include "pairs/edge_table.h"
#include "support/test_support.h"

namespace tavrel {
namespace {

using testing::ScratchDir;

// Items of the examples; item 9 stands for an infrequent item.
enum : int { a = 0, b = 1, x = 2, y = 3, z = 4, w = 5 };

// The first two passes over a database (totalItems 10) with a min_sup.
class TwoPasses {
 public:
  TwoPasses(const ScratchDir& dir, const std::string& db, int support = 1) {
    EXPECT_TRUE(pass_.open(dir.writeDatabase(db, 10, 10, 100), support));
    EXPECT_EQ(countItems(pass_.run, *pass_.feed), 0);
    EXPECT_EQ(buildPairStatistics(pass_.run, *pass_.feed), 0);
  }
  const RunState& run() const { return pass_.run; }
  const PairCell& cell(int from, int to) const {
    const RunState& run = pass_.run;
    return run.pairMatrix.at(run.itemTable[from].frequentIndex, run.itemTable[to].frequentIndex);
  }
  // The live and removed (-1) entries of a cell's between list, which keeps
  // the length of the pair's first window.
  std::vector<int> betweenArray(int from, int to) const {
    const PairCell& c = cell(from, to);
    const Buffer<int>& arena = pass_.run.pairMatrix.between;
    std::vector<int> items;
    for (std::uint32_t k = 0; k < c.betweenLength; ++k) {
      int f = arena[c.betweenStart + k];
      items.push_back(f == -1 ? -1 : pass_.run.frequentItems[f]);
    }
    return items;
  }

 private:
  testing::PassRun pass_;
};

TEST(PairStatisticsTest, InfrequentItemsDoNotSeparate) {
  ScratchDir dir;
  // 9 occurs once and is dropped with min_sup 2, so a and b are adjacent.
  TwoPasses passes(dir, "3 0 9 1\n2 0 1\n", 2);
  EXPECT_EQ(passes.run().frequentItemCount, 2);
  EXPECT_EQ(passes.cell(a, b).support, 2);
  EXPECT_EQ(passes.cell(a, b).unseen, 0);
  EXPECT_EQ(passes.cell(a, b).betweenCount, 0);
  EXPECT_EQ(passes.cell(a, b).betweenLength, 0u);
  EXPECT_EQ(passes.cell(b, a).support, 0);
  EXPECT_EQ(passes.cell(b, a).unseen, 1);
}

TEST(PairStatisticsTest, FirstWindowIsKept) {
  ScratchDir dir;
  TwoPasses passes(dir, "4 0 2 3 1\n");  // a x y b
  EXPECT_EQ(passes.cell(a, b).support, 1);
  EXPECT_EQ(passes.cell(a, b).betweenCount, 2);
  EXPECT_EQ(passes.betweenArray(a, b), (std::vector<int>{x, y}));
  EXPECT_EQ(passes.cell(a, y).betweenCount, 1);
  EXPECT_EQ(passes.betweenArray(a, y), (std::vector<int>{x}));
  EXPECT_EQ(passes.cell(x, b).betweenCount, 1);
  EXPECT_EQ(passes.betweenArray(x, b), (std::vector<int>{y}));
  for (auto [from, to] : {std::pair{a, x}, std::pair{x, y}, std::pair{y, b}}) {
    EXPECT_EQ(passes.cell(from, to).support, 1);
    EXPECT_EQ(passes.cell(from, to).betweenCount, 0);
    EXPECT_EQ(passes.cell(from, to).betweenLength, 0u);
  }
}

TEST(PairStatisticsTest, WindowsAreIntersected) {
  ScratchDir dir;
  TwoPasses anyOrder(dir, "4 0 2 3 1\n4 0 3 2 1\n");  // a x y b, a y x b
  EXPECT_EQ(anyOrder.cell(a, b).support, 2);
  EXPECT_EQ(anyOrder.cell(a, b).betweenCount, 2);

  TwoPasses disjoint(dir, "4 0 2 3 1\n4 0 4 5 1\n");  // a x y b, a z w b
  EXPECT_EQ(disjoint.cell(a, b).betweenCount, 0);
  EXPECT_EQ(disjoint.betweenArray(a, b), (std::vector<int>{-1, -1}));

  // a x y b, a y b, a y b: x is removed once and never counted again.
  TwoPasses shrinking(dir, "4 0 2 3 1\n3 0 3 1\n3 0 3 1\n");
  EXPECT_EQ(shrinking.cell(a, b).support, 3);
  EXPECT_EQ(shrinking.cell(a, b).betweenCount, 1);
  EXPECT_EQ(shrinking.betweenArray(a, b), (std::vector<int>{-1, y}));
  EXPECT_EQ(liveBetween(shrinking.run(), shrinking.cell(a, b)), (std::vector<int>{y}));
}

TEST(PairStatisticsTest, AnAdjacentSightingClearsForGood) {
  ScratchDir dir;
  TwoPasses cleared(dir, "3 0 2 1\n2 0 1\n");  // a x b, then a b
  EXPECT_EQ(cleared.cell(a, b).betweenCount, 0);
  TwoPasses again(dir, "3 0 2 1\n2 0 1\n3 0 2 1\n");  // and a x b again
  EXPECT_EQ(again.cell(a, b).support, 3);
  EXPECT_EQ(again.cell(a, b).betweenCount, 0);
  EXPECT_TRUE(liveBetween(again.run(), again.cell(a, b)).empty());
}

TEST(PairStatisticsTest, RepeatedItemsInOneStringCountPositionPairs) {
  // The first pass rejects such lines; the pass itself handles them.
  RunState run;
  run.totalItems = 2;
  run.minSup = 1;
  ASSERT_TRUE(run.itemTable.assign(2, ItemInfo{}));
  for (int item = 0; item < 2; ++item) {
    run.itemTable[item].occurrences = 2;
    run.itemTable[item].frequent = 1;
    run.itemTable[item].frequentIndex = item;
  }
  run.frequentItemCount = 2;
  ASSERT_TRUE(run.frequentItems.resize(2));
  run.frequentItems[0] = a;
  run.frequentItems[1] = b;
  ASSERT_EQ(createPairMatrix(run), 0);
  const int list[] = {a, b, a, b};
  ASSERT_EQ(addFrequentList(run, list, 4), 0);
  const PairMatrix& matrix = run.pairMatrix;
  EXPECT_EQ(matrix.at(a, b).support, 3);
  EXPECT_EQ(matrix.at(a, b).betweenCount, 0);
  EXPECT_EQ(matrix.at(b, a).support, 1);
  EXPECT_EQ(matrix.at(a, a).support, 1);
  EXPECT_EQ(liveBetween(run, matrix.at(a, a)), (std::vector<int>{b}));
  EXPECT_EQ(matrix.at(b, b).support, 1);
  EXPECT_EQ(liveBetween(run, matrix.at(b, b)), (std::vector<int>{a}));
}

TEST(PairStatisticsTest, EmptyCases) {
  ScratchDir dir;
  TwoPasses rare(dir, "1 0\n1 1\n2 0 1\n", 5);  // no frequent item
  EXPECT_EQ(rare.run().frequentItemCount, 0);
  EXPECT_EQ(rare.run().edgeCount, 0);
  EXPECT_TRUE(rare.run().edgeIndex.empty());

  TwoPasses apart(dir, "1 0\n1 1\n", 1);  // frequent items, no pair met
  EXPECT_EQ(apart.run().frequentItemCount, 2);
  EXPECT_EQ(apart.run().edgeCount, 0);
  EXPECT_EQ(apart.cell(a, b).unseen, 1);
}

// Sets up the matrix of the numbering example: totalItems 10, frequent
// items 1, 2, 3.
void numberingExample(RunState& run) {
  run.totalItems = 10;
  run.minSup = 5;
  run.frequentItemCount = 3;
  ASSERT_TRUE(run.frequentItems.resize(3));
  for (int k = 0; k < 3; ++k) run.frequentItems[k] = k + 1;
  ASSERT_EQ(createPairMatrix(run), 0);
  run.pairMatrix.at(0, 1).support = 5;
  run.pairMatrix.at(0, 2).support = 7;
  run.pairMatrix.at(1, 0).support = 5;
}

TEST(EdgeTableTest, NumbersByDescendingSupportThenPairCode) {
  RunState run;
  numberingExample(run);
  run.pairMatrix.at(2, 0).support = 4;  // below min_sup
  run.pairMatrix.at(2, 1).support = 9;  // an item always between
  run.pairMatrix.at(2, 1).betweenCount = 1;
  ASSERT_EQ(buildEdgeTable(run), 0);
  ASSERT_EQ(run.edgeCount, 3);
  std::vector<std::tuple<int, long long, int>> records;
  for (const EdgeInfo& edge : run.edgeTable) {
    records.emplace_back(edge.edgeId, edge.pairCode, edge.support);
  }
  EXPECT_EQ(records,
            (std::vector<std::tuple<int, long long, int>>{{0, 13, 7}, {1, 12, 5}, {2, 21, 5}}));
  EXPECT_EQ(run.edgeIndex, (std::map<std::int64_t, int>{{12, 1}, {13, 0}, {21, 2}}));
}

TEST(EdgeTableTest, SupportEqualToMinSupPassesAndDiagonalCellsAreEdges) {
  RunState run;
  numberingExample(run);
  run.pairMatrix.at(1, 1).support = 6;
  run.minSup = 6;
  ASSERT_EQ(buildEdgeTable(run), 0);
  ASSERT_EQ(run.edgeCount, 2);
  EXPECT_EQ(run.edgeTable[0].pairCode, 13);
  EXPECT_EQ(run.edgeTable[1].pairCode, 22);  // 2 -> 2
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
