#include "tree/projection.h"

#include "state/global_state.h"
#include "tree/tree_shape.h"

namespace tavrel {

int accumulateSupport(EdgeInfo* projected, int base, TreeNode* node) {
  TreeNode* end = subtreeEnd(node);
  for (TreeNode* below = node + 1; below < end; ++below) {
    projected[below->edgeId - base].support += below->count;
  }
  return 0;
}

int linkOccurrences(EdgeInfo* projected, int base, TreeNode* node) {
  TreeNode* end = subtreeEnd(node);
  for (TreeNode* below = node + 1; below < end;) {
    EdgeInfo& record = projected[below->edgeId - base];
    if (record.support >= minSup) {
      linkOccurrence(record, below);
      below = subtreeEnd(below);
    } else {
      ++below;
    }
  }
  return 0;
}

}  // namespace tavrel
