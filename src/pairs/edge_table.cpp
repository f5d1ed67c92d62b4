#include "pairs/edge_table.h"

#include <map>
#include <new>

#include "pairs/pair_statistics.h"

namespace tavrel {

int buildEdgeTable(RunState& run) {
  try {
    // The frequent edges, support -> pairCode; equal supports stay in
    // insertion order.
    std::multimap<int, std::int64_t> edgesBySupport;
    run.edgeIndex.clear();
    int f = run.frequentItemCount;
    for (int a = f - 1; a >= 0; --a) {
      for (int b = f - 1; b >= 0; --b) {
        const PairCell& cell = run.pairMatrix.at(a, b);
        if (isFrequentEdge(cell, run.minSup)) {
          edgesBySupport.emplace(cell.support,
                                 run.makePairCode(run.frequentItems[a], run.frequentItems[b]));
        }
      }
    }
    run.edgeCount = static_cast<int>(edgesBySupport.size());
    if (!run.edgeTable.resize(static_cast<std::size_t>(run.edgeCount))) {
      return run.report.outOfMemory();
    }
    int e = run.edgeCount - 1;
    for (const auto& [support, pairCode] : edgesBySupport) {
      EdgeInfo& record = run.edgeTable[e];
      record.edgeId = e;
      record.pairCode = pairCode;
      record.support = support;
      run.edgeIndex.emplace(pairCode, e);
      --e;
    }
  } catch (const std::bad_alloc&) {
    return run.report.outOfMemory();
  }
  return 0;
}

}  // namespace tavrel
