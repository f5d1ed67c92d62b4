#include "pairs/edge_table.h"

#include <map>
#include <new>

#include "pairs/pair_statistics.h"
#include "state/global_state.h"
#include "state/memory.h"

namespace tavrel {

int buildEdgeTable() {
  try {
    // Support -> pairCode; equal supports stay in insertion order.
    std::multimap<int, std::int64_t> tmpGFEdge;
    edgeIndex.clear();
    for (int a = frequentItemCount - 1; a >= 0; --a) {
      for (int b = frequentItemCount - 1; b >= 0; --b) {
        const PairCell& cell = pairMatrix[a][b];
        if (isFrequentEdge(cell)) {
          tmpGFEdge.emplace(cell.support, makePairCode(frequentItems[a], frequentItems[b]));
        }
      }
    }
    edgeCount = static_cast<int>(tmpGFEdge.size());
    edgeTable = newArray<EdgeInfo>(static_cast<std::size_t>(edgeCount));
    if (edgeTable == nullptr) return -1;
    int e = edgeCount - 1;
    for (const auto& [support, pairCode] : tmpGFEdge) {
      EdgeInfo& record = edgeTable[e];
      record.edgeId = e;
      record.pairCode = pairCode;
      record.support = support;
      edgeIndex.emplace(pairCode, e);
      --e;
    }
  } catch (const std::bad_alloc&) {
    return reportOutOfMemory();
  }
  return 0;
}

}  // namespace tavrel
