#include "tree/projection.h"

#include "state/global_state.h"

namespace tavrel {

int accumulateSupport(EdgeInfo* projected, int base, TreeNode* node) {
  walkBelow(node, [&](TreeNode* descendant) {
    projected[descendant->edgeId - base].support += descendant->count;
    return true;
  });
  return 0;
}

int linkOccurrences(EdgeInfo* projected, int base, TreeNode* node) {
  walkBelow(node, [&](TreeNode* descendant) {
    EdgeInfo& record = projected[descendant->edgeId - base];
    if (record.support < minSup) return true;
    linkOccurrence(record, descendant);
    return false;
  });
  return 0;
}

}  // namespace tavrel
