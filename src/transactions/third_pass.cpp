#include "transactions/third_pass.h"

#include <algorithm>

#include "input/string_line.h"
#include "pairs/pair_statistics.h"
#include "state/global_state.h"
#include "state/memory.h"
#include "transactions/edge_database.h"

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

std::size_t makeEdgeTransaction(const int* frequentList, int m, const int* edgeIdOfPair,
                                std::uint64_t* held, std::uint32_t* transaction) {
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
  std::size_t length = 0;
  for (int w = firstWord; w <= lastWord; ++w) {
    for (std::uint64_t bits = held[w]; bits != 0; bits &= bits - 1) {
      transaction[length++] = static_cast<std::uint32_t>(w * 64 + __builtin_ctzll(bits));
    }
    held[w] = 0;
  }
  return length;
}

namespace {

// Reads every string and adds its edge transaction to `builder`.
int gatherTransactions(const int* edgeIdOfPair, EdgeDatabaseBuilder& builder) {
  StringReader reader;
  if (openStringReader(&reader) < 0) return -1;
  Buffer<int> frequentList;
  Buffer<std::uint32_t> transaction;
  Buffer<std::uint64_t> held;
  int status = frequentList.resize(static_cast<std::size_t>(maxItemLength)) &&
                       transaction.resize(static_cast<std::size_t>(edgeCount) + 1) &&
                       held.assign(static_cast<std::size_t>(edgeCount) / 64 + 1, 0)
                   ? 1
                   : reportOutOfMemory();
  while (status > 0 && (status = nextString(&reader)) > 0) {
    int m = 0;
    for (int k = 0; k < reader.itemCount; ++k) {
      const ItemInfo& item = itemTable[reader.items[k]];
      if (item.frequent) frequentList[m++] = item.frequentIndex;
    }
    std::size_t length =
        makeEdgeTransaction(frequentList.data(), m, edgeIdOfPair, held.data(), transaction.data());
    if (!builder.add(transaction.data(), length)) status = reportOutOfMemory();
  }
  closeStringReader(&reader);
  return status;
}

}  // namespace

int buildEdgeDatabase() {
  int* edgeIdOfPair = makeEdgeIdMatrix();
  if (edgeIdOfPair == nullptr) return -1;
  // The cells have done their work: the rest of the run needs only the
  // edge numbers.
  releasePairMatrix();
  EdgeDatabaseBuilder builder;
  int status = builder.start(edgeCount, stringCount) ? gatherTransactions(edgeIdOfPair, builder)
                                                     : reportOutOfMemory();
  deleteArray(edgeIdOfPair);
  if (status < 0) return -1;
  edgeDatabase = builder.finish();
  return 0;
}

}  // namespace tavrel
