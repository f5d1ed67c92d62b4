// The prefix tree of edge transactions, its occurrence chains and the two
// projection walks.
#include "tree/edge_tree.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <string>
#include <vector>

#include "driver/run.h"
#include "input/first_pass.h"
#include "input/string_line.h"
#include "pairs/pair_statistics.h"
#include "state/global_state.h"
#include "support/test_support.h"
#include "tree/projection.h"
#include "tree/transactions.h"
#include "tree/tree_shape.h"

namespace tavrel {
namespace {

// The subtree below node k as "edge:count(children...)", checking on the way
// that parents, the pre-order layout and the ascending order of children
// hold.
std::string describe(const PrefixTree& tree, int k) {
  std::string text;
  int previous = -1;
  int expected = k + 1;  // children follow each other's subtrees
  for (int child = firstChild(tree, k); child >= 0; child = nextSibling(tree, child)) {
    EXPECT_EQ(child, expected);
    EXPECT_EQ(tree.parent[child], k);
    EXPECT_GT(tree.nodes[child].edgeId, previous);
    EXPECT_LE(tree.nodes[child].count, tree.nodes[k].count);
    previous = tree.nodes[child].edgeId;
    expected = subtreeEnd(tree, child);
    if (!text.empty()) text += " ";
    text +=
        std::to_string(tree.nodes[child].edgeId) + ":" + std::to_string(tree.nodes[child].count);
    if (firstChild(tree, child) >= 0) text += "(" + describe(tree, child) + ")";
  }
  EXPECT_EQ(expected, subtreeEnd(tree, k));
  return text;
}

std::string describe() { return describe(edgeTree, 0); }

// The distance of node k from the root.
int depthOf(const PrefixTree& tree, int k) {
  int depth = 0;
  for (int up = tree.parent[k]; up >= 0; up = tree.parent[up]) ++depth;
  return depth;
}

// A tree built from the given transactions, in that order, under a root of
// count 99, as edgeTree.
void buildTree(const std::vector<std::vector<int>>& transactions) {
  resetState();
  TransactionStore store;
  for (const std::vector<int>& transaction : transactions) {
    ASSERT_EQ(appendTransaction(store, transaction.data(), static_cast<int>(transaction.size())),
              0);
  }
  ASSERT_EQ(buildPrefixTree(store, 99, &edgeTree), 0);
  freeTransactions(store);
}

TEST(EdgeTreeTest, ChildrenStayInAscendingOrder) {
  buildTree({{5}, {2}, {7}, {3}});  // whatever order the transactions come in
  EXPECT_EQ(describe(), "2:1 3:1 5:1 7:1");
  EXPECT_EQ(childCount(edgeTree, 0), 4);
  EXPECT_EQ(edgeTree.nodeCount, 5);
  for (int k = 1; k < 5; ++k) EXPECT_EQ(depthOf(edgeTree, k), 1);
  buildTree({{8}, {6}, {4}, {2}, {9}, {5}, {3}, {7}, {1}});
  EXPECT_EQ(describe(), "1:1 2:1 3:1 4:1 5:1 6:1 7:1 8:1 9:1");
  EXPECT_EQ(edgeTree.nodes[0].count, 99);
  EXPECT_EQ(edgeTree.nodes[0].edgeId, -1);
  releaseEdgeTree();
}

TEST(EdgeTreeTest, SharedPrefixesAndCounts) {
  buildTree({{3, 5}, {3}, {5, 7}});
  EXPECT_EQ(describe(), "3:2(5:1) 5:1(7:1)");
  EXPECT_EQ(depthOf(edgeTree, 2), 2);  // edge 5 below 3, and at depth 1 too
  EXPECT_EQ(depthOf(edgeTree, 3), 1);
  buildTree({{1, 4, 6}, {1, 4, 6}, {}});
  EXPECT_EQ(describe(), "1:2(4:2(6:2))");
  EXPECT_EQ(edgeTree.nodeCount, 4);
  releaseEdgeTree();
}

TEST(EdgeTreeTest, WeightedTransactionsAddTheirWeights) {
  resetState();
  TransactionStore store;
  const int longer[] = {0, 2, 5};
  const int shorter[] = {0, 2};
  const int other[] = {1};
  ASSERT_EQ(appendTransaction(store, longer, 3, 4), 0);
  ASSERT_EQ(appendTransaction(store, other, 1, 2), 0);
  ASSERT_EQ(appendTransaction(store, shorter, 2, 3), 0);
  ASSERT_EQ(appendTransaction(store, longer, 3, 1), 0);
  ASSERT_EQ(buildPrefixTree(store, 10, &edgeTree), 0);
  freeTransactions(store);
  EXPECT_EQ(edgeTree.nodes[0].count, 10);
  EXPECT_EQ(describe(), "0:8(2:8(5:5)) 1:2");
  releaseEdgeTree();
}

// The tree of [0, 1, 2], [0, 2], [1, 2], [0, 1] and a projected array for
// edges 1 and 2 (base 1), projected from the root's child 0.
struct ProjectionExample {
  EdgeInfo records[2];
  int node0 = -1;
  ProjectionExample() {
    buildTree({{0, 1, 2}, {0, 2}, {1, 2}, {0, 1}});
    records[0].edgeId = 1;
    records[1].edgeId = 2;
    node0 = firstChild(edgeTree, 0);
  }
};

TEST(ProjectionTest, AccumulateAndLinkBelowOneNode) {
  ProjectionExample example;
  ASSERT_EQ(describe(), "0:3(1:2(2:1) 2:1) 1:1(2:1)");
  accumulateSupport(example.records, 1, edgeTree, example.node0);
  EXPECT_EQ(example.records[0].support, 2);
  EXPECT_EQ(example.records[1].support, 2);

  minSup = 2;
  linkOccurrences(example.records, 1, edgeTree, example.node0);
  int node1 = firstChild(edgeTree, example.node0);  // 1 under 0
  int node2 = nextSibling(edgeTree, node1);         // 2 directly under 0
  EXPECT_EQ(example.records[0].occurrenceHead, node1);
  EXPECT_EQ(example.records[0].occurrenceCount, 1);
  EXPECT_EQ(example.records[1].occurrenceHead, node2);  // 2 under 0, 1 is not entered
  EXPECT_EQ(example.records[1].occurrenceCount, 1);
  EXPECT_EQ(edgeTree.nextOccurrence[node1], -1);
  EXPECT_EQ(edgeTree.nextOccurrence[firstChild(edgeTree, node1)], -1);
  releaseEdgeTree();
}

TEST(ProjectionTest, NothingIsLinkedBelowTheThreshold) {
  ProjectionExample example;
  accumulateSupport(example.records, 1, edgeTree, example.node0);
  minSup = 3;
  linkOccurrences(example.records, 1, edgeTree, example.node0);
  for (const EdgeInfo& record : example.records) {
    EXPECT_EQ(record.occurrenceHead, -1);
    EXPECT_EQ(record.occurrenceCount, 0);
  }
  // A node without children changes nothing.
  int leaf = firstChild(edgeTree, firstChild(edgeTree, example.node0));
  accumulateSupport(example.records, 1, edgeTree, leaf);
  linkOccurrences(example.records, 1, edgeTree, leaf);
  EXPECT_EQ(example.records[1].support, 2);
  EXPECT_EQ(example.records[1].occurrenceCount, 0);
  releaseEdgeTree();
}

TEST(ProjectionTest, ChainsGrowAtTheHead) {
  buildTree({{0, 2}, {1, 2}});
  EdgeInfo record;
  record.edgeId = 2;
  record.support = 2;
  minSup = 1;
  int first = firstChild(edgeTree, 0);
  int second = nextSibling(edgeTree, first);
  linkOccurrences(&record, 2, edgeTree, first);
  linkOccurrences(&record, 2, edgeTree, second);
  EXPECT_EQ(record.occurrenceCount, 2);
  EXPECT_EQ(record.occurrenceHead, firstChild(edgeTree, second));
  EXPECT_EQ(edgeTree.nextOccurrence[firstChild(edgeTree, second)], firstChild(edgeTree, first));
  EXPECT_EQ(edgeTree.nextOccurrence[firstChild(edgeTree, first)], -1);
  releaseEdgeTree();
}

void* walkDeepPath(void* argument) {
  auto* records = static_cast<std::vector<EdgeInfo>*>(argument);
  accumulateSupport(records->data(), 0, edgeTree, 0);
  linkOccurrences(records->data(), 0, edgeTree, 0);
  return nullptr;
}

TEST(ProjectionTest, DeepTreesAreWalkedWithoutRecursion) {
  const int depth = 200000;
  std::vector<int> path(depth);
  for (int k = 0; k < depth; ++k) path[k] = k;
  buildTree({path});
  std::vector<EdgeInfo> records(depth);
  minSup = 2;
  // A walk that recursed once per level would need far more than this stack.
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, 256 * 1024);
  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, &attributes, walkDeepPath, &records), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
  EXPECT_EQ(records[0].support, 1);
  EXPECT_EQ(records[depth - 1].support, 1);
  EXPECT_EQ(records[depth - 1].occurrenceCount, 0);  // below min_sup: walked, not linked
  EXPECT_EQ(depthOf(edgeTree, depth), depth);
  releaseEdgeTree();
}

TEST(EdgeTreeTest, ThreePassesOverTheFourStringExample) {
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

  // The transactions, built from each string's frequent list.
  std::vector<std::vector<int>> transactions;
  int* edgeIdOfPair = makeEdgeIdMatrix();
  ASSERT_NE(edgeIdOfPair, nullptr);
  StringReader reader;
  ASSERT_EQ(openStringReader(&reader), 0);
  while (nextString(&reader) > 0) {
    std::vector<int> frequentList;
    for (int k = 0; k < reader.itemCount; ++k) {
      frequentList.push_back(itemTable[reader.items[k]].frequentIndex);
    }
    std::vector<int> transaction(edgeCount);
    std::vector<std::uint64_t> held(edgeCount / 64 + 1);
    int length = makeEdgeTransaction(frequentList.data(), reader.itemCount, edgeIdOfPair,
                                     held.data(), transaction.data());
    EXPECT_EQ(held, std::vector<std::uint64_t>(edgeCount / 64 + 1));  // left clear
    transaction.resize(length);
    transactions.push_back(transaction);
  }
  closeStringReader(&reader);
  delete[] edgeIdOfPair;
  EXPECT_EQ(transactions,
            (std::vector<std::vector<int>>{{0, 1, 2, 3, 4}, {0, 3, 4}, {0, 1, 2}, {1}}));

  ASSERT_EQ(buildEdgeTree(), 0);
  EXPECT_EQ(edgeTree.nodes[0].count, 4);
  EXPECT_EQ(describe(), "0:3(1:2(2:2(3:1(4:1))) 3:1(4:1)) 1:1");
  int child0 = firstChild(edgeTree, 0);
  EXPECT_EQ(edgeTable[0].occurrenceHead, child0);
  EXPECT_EQ(edgeTable[0].occurrenceCount, 1);
  EXPECT_EQ(edgeTable[1].occurrenceHead, nextSibling(edgeTree, child0));
  EXPECT_EQ(edgeTable[1].occurrenceCount, 1);
  for (int e = 2; e < 5; ++e) {
    EXPECT_EQ(edgeTable[e].occurrenceHead, -1);
    EXPECT_EQ(edgeTable[e].occurrenceCount, 0);
  }
  resetState();
}

TEST(EdgeTreeTest, NoEdgeLeavesOnlyTheRoot) {
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
  ASSERT_EQ(buildEdgeTree(), 0);
  EXPECT_EQ(edgeCount, 0);
  EXPECT_EQ(edgeTree.nodes[0].count, 7);
  EXPECT_EQ(firstChild(edgeTree, 0), -1);
  EXPECT_EQ(edgeTree.nodeCount, 1);
  resetState();
}

}  // namespace
}  // namespace tavrel
