// Moving about in a tree stored in pre-order (see TreeNode).
#pragma once

#include "state/records.h"

namespace tavrel {

// The node after the last node of `node`'s subtree in the tree's array.
inline TreeNode* subtreeEnd(TreeNode* node) { return node + 1 + node->subtreeSize; }
inline const TreeNode* subtreeEnd(const TreeNode* node) { return node + 1 + node->subtreeSize; }

// The node's first child, or nullptr for a leaf.
inline TreeNode* firstChild(TreeNode* node) { return node->subtreeSize > 0 ? node + 1 : nullptr; }

// The child of the same parent that follows `node`, or nullptr.
inline TreeNode* nextSibling(TreeNode* node) {
  TreeNode* parent = node->parent;
  TreeNode* next = subtreeEnd(node);
  return parent != nullptr && next < subtreeEnd(parent) ? next : nullptr;
}

// The number of children of `node`.
inline int childCount(TreeNode* node) {
  int count = 0;
  for (TreeNode* child = firstChild(node); child != nullptr; child = nextSibling(child)) ++count;
  return count;
}

}  // namespace tavrel
