#include "tree/projection.h"

#include "state/global_state.h"
#include "tree/tree_shape.h"

namespace tavrel {

int accumulateSupport(EdgeInfo* projected, int base, const PrefixTree& tree, int node) {
  int end = subtreeEnd(tree, node);
  for (int below = node + 1; below < end; ++below) {
    projected[tree.nodes[below].edgeId - base].support += tree.nodes[below].count;
  }
  return 0;
}

int linkOccurrences(EdgeInfo* projected, int base, PrefixTree& tree, int node) {
  int end = subtreeEnd(tree, node);
  for (int below = node + 1; below < end;) {
    EdgeInfo& record = projected[tree.nodes[below].edgeId - base];
    if (record.support >= minSup) {
      linkOccurrence(record, tree, below);
      below = subtreeEnd(tree, below);
    } else {
      ++below;
    }
  }
  return 0;
}

}  // namespace tavrel
