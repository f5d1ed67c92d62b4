#include "tree/edge_tree.h"

#include <algorithm>
#include <cstdint>

#include "input/string_line.h"
#include "pairs/pair_statistics.h"
#include "state/global_state.h"
#include "state/memory.h"
#include "tree/transactions.h"
#include "tree/tree_shape.h"

namespace tavrel {

int* makeEdgeIdMatrix() {
  std::size_t f = static_cast<std::size_t>(frequentItemCount);
  int* matrix = newArray<int>(f * f);
  if (matrix == nullptr) return nullptr;
  for (std::size_t a = 0; a < f; ++a) {
    for (std::size_t b = 0; b < f; ++b) {
      const PairCell& cell = pairMatrix[a][b];
      matrix[a * f + b] =
          isFrequentEdge(cell)
              ? edgeIndex.find(makePairCode(frequentItems[a], frequentItems[b]))->second
              : -1;
    }
  }
  return matrix;
}

int makeEdgeTransaction(const int* frequentList, int m, const int* edgeIdOfPair,
                        std::uint64_t* held, int* transaction) {
  // The edges are marked in the bit set and read back in ascending order,
  // which sorts them in time linear in the words between the first and the
  // last edge; the words are cleared on the way.
  std::size_t f = static_cast<std::size_t>(frequentItemCount);
  int firstWord = edgeCount;
  int lastWord = -1;
  for (int i = 0; i + 1 < m; ++i) {
    const int* row = edgeIdOfPair + static_cast<std::size_t>(frequentList[i]) * f;
    for (int j = i + 1; j < m; ++j) {
      int edgeId = row[frequentList[j]];
      if (edgeId < 0) continue;
      held[edgeId / 64] |= std::uint64_t{1} << (edgeId % 64);
      firstWord = std::min(firstWord, edgeId / 64);
      lastWord = std::max(lastWord, edgeId / 64);
    }
  }
  int length = 0;
  for (int w = firstWord; w <= lastWord; ++w) {
    for (std::uint64_t bits = held[w]; bits != 0; bits &= bits - 1) {
      transaction[length++] = w * 64 + __builtin_ctzll(bits);
    }
    held[w] = 0;
  }
  return length;
}

namespace {

// Reads every string and stores its non-empty edge transaction.
int gatherTransactions(const int* edgeIdOfPair, TransactionStore& store) {
  StringReader reader;
  if (openStringReader(&reader) < 0) return -1;
  int* frequentList = newArray<int>(static_cast<std::size_t>(maxItemLength));
  int* transaction = newArray<int>(static_cast<std::size_t>(edgeCount));
  std::uint64_t* held = newArray<std::uint64_t>(static_cast<std::size_t>(edgeCount) / 64 + 1);
  int status = frequentList == nullptr || transaction == nullptr || held == nullptr ? -1 : 1;
  while (status > 0 && (status = nextString(&reader)) > 0) {
    int m = 0;
    for (int k = 0; k < reader.itemCount; ++k) {
      const ItemInfo& item = itemTable[reader.items[k]];
      if (item.frequent) frequentList[m++] = item.frequentIndex;
    }
    int length = makeEdgeTransaction(frequentList, m, edgeIdOfPair, held, transaction);
    if (length > 0 && appendTransaction(store, transaction, length) < 0) status = -1;
  }
  closeStringReader(&reader);
  deleteArray(frequentList);
  deleteArray(transaction);
  deleteArray(held);
  return status;
}

}  // namespace

int buildEdgeTree() {
  int* edgeIdOfPair = makeEdgeIdMatrix();
  if (edgeIdOfPair == nullptr) return -1;
  // The cells have done their work: the rest of the run needs only the
  // edge numbers.
  releasePairMatrix();
  TransactionStore store;
  int status = gatherTransactions(edgeIdOfPair, store);
  deleteArray(edgeIdOfPair);
  // The chains below hold one node each, so the tree needs no links; the
  // search lists the nodes of every edge itself.
  if (status == 0) status = buildPrefixTree(store, stringCount, &edgeTree, false);
  freeTransactions(store);
  if (status < 0) return -1;
  for (int child = firstChild(edgeTree, 0); child >= 0; child = nextSibling(edgeTree, child)) {
    edgeTable[edgeTree.nodes[child].edgeId].occurrenceHead = child;
    edgeTable[edgeTree.nodes[child].edgeId].occurrenceCount = 1;
  }
  return 0;
}

void releaseEdgeTree() { freePrefixTree(&edgeTree); }

}  // namespace tavrel
