#include "tree/projection.h"

#include "state/global_state.h"

namespace tavrel {

// Both walks visit the subtree in pre-order without recursion: the tree can
// be as deep as the longest edge transaction, far deeper than a call stack.

namespace {

// The node after `node` in pre-order once its subtree is done, or nullptr
// when the walk below `top` is over.
TreeNode* nextAfterSubtree(TreeNode* node, TreeNode* top) {
  while (node != top && node->nextSibling == nullptr) node = node->parent;
  return node == top ? nullptr : node->nextSibling;
}

}  // namespace

int accumulateSupport(EdgeInfo* projected, int base, TreeNode* node) {
  TreeNode* current = node->firstChild;
  while (current != nullptr) {
    projected[current->edgeId - base].support += current->count;
    current =
        current->firstChild != nullptr ? current->firstChild : nextAfterSubtree(current, node);
  }
  return 0;
}

int linkOccurrences(EdgeInfo* projected, int base, TreeNode* node) {
  TreeNode* current = node->firstChild;
  while (current != nullptr) {
    EdgeInfo& record = projected[current->edgeId - base];
    if (record.support >= minSup) {
      current->nextOccurrence = record.occurrenceHead;
      record.occurrenceHead = current;
      ++record.occurrenceCount;
      current = nextAfterSubtree(current, node);
    } else {
      current =
          current->firstChild != nullptr ? current->firstChild : nextAfterSubtree(current, node);
    }
  }
  return 0;
}

}  // namespace tavrel
