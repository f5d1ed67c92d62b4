#include "search/top_frame.h"

#include <utility>

#include "search/extension_step.h"
#include "search/occurrence_delivery.h"

namespace tavrel {

bool openTopFrame(EdgeDatabase& database, FrameData& top, SearchShared& shared) {
  std::size_t edges = static_cast<std::size_t>(database.edgeCount);
  Buffer<int> local;
  if (!local.assign(edges, -1)) return false;
  top.support = database.rootSupport;
  top.pattern.clear();
  top.edgeOf.clear();
  top.count.clear();
  for (std::size_t e = 0; e < edges; ++e) {
    int support = database.supports[e];
    int edge = static_cast<int>(e);
    if (support == database.rootSupport) {
      if (!top.pattern.push(edge)) return false;
    } else if (support >= shared.minSup) {
      local[e] = static_cast<int>(top.edgeOf.size());
      if (!top.edgeOf.push(edge) || !top.count.push(support)) return false;
    }
  }
  HorizontalLevel& level = top.horizontal;
  std::size_t written = 0;
  std::size_t kept = 0;
  level.squaredLengths = 0;
  // Offsets are overwritten as transactions shrink: each one's end is read
  // before its place is taken.
  std::size_t end = database.offsets[0];
  for (std::size_t t = 0; t < database.transactionCount(); ++t) {
    std::size_t start = written;
    std::size_t begin = end;
    end = database.offsets[t + 1];
    for (std::size_t k = begin; k < end; ++k) {
      int c = local[database.items[k]];
      if (c >= 0) database.items[written++] = static_cast<std::uint32_t>(c);
    }
    if (written == start) continue;
    std::size_t length = written - start;
    level.squaredLengths += length * length;
    database.weights[kept] = database.weights[t];
    database.offsets[++kept] = written;
  }
  database.items.resize(written);
  database.offsets.resize(kept + 1);
  database.weights.resize(kept);
  level.items = std::move(database.items);
  level.offsets = std::move(database.offsets);
  level.weights = std::move(database.weights);
  level.headBits = level.headWords = 0;
  level.heads.clear();
  std::size_t candidates = top.edgeOf.size();
  top.top = true;
  if (!top.topIndex.resize(candidates)) return false;
  for (std::size_t c = 0; c < candidates; ++c) top.topIndex[c] = static_cast<std::uint32_t>(c);
  top.lists.made = false;
  if (!shared.topPairs.build(level, candidates, shared.minSup, shared.threads, shared.stop) ||
      !prepareFrame(top, shared)) {
    return false;
  }
  // A vertical top frame delivers nothing.
  return top.vertical ||
         listOccurrences(level, static_cast<int>(candidates),
                         OccurrenceLists::mostBytes(shared.threads), shared.threads, top.lists);
}

}  // namespace tavrel
