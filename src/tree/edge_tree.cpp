#include "tree/edge_tree.h"

#include <algorithm>
#include <cassert>
#include <new>

#include "input/string_line.h"
#include "pairs/pair_statistics.h"
#include "state/global_state.h"
#include "state/memory.h"

namespace tavrel {

TreeNode* newTreeRoot(int count) {
  TreeNode* root = new (std::nothrow) TreeNode;
  if (root == nullptr) {
    reportOutOfMemory();
    return nullptr;
  }
  root->edgeId = -1;
  root->count = count;
  root->depth = 0;
  return root;
}

int makeEdgeTransaction(const int* list, int m, int* transaction) {
  int length = 0;
  for (int i = 0; i + 1 < m; ++i) {
    int fromIndex = itemTable[list[i]].frequentIndex;
    for (int j = i + 1; j < m; ++j) {
      const PairCell& cell = pairMatrix[fromIndex][itemTable[list[j]].frequentIndex];
      if (isFrequentEdge(cell))
        transaction[length++] = edgeIndex.find(makePairCode(list[i], list[j]))->second;
    }
  }
  std::sort(transaction, transaction + length);
  return length;
}

int insertTransaction(const int* transaction, int length, TreeNode* node) {
  if (length == 0) return 0;
  TreeNode* current = node;
  for (int t = 0; t < length; ++t) {
    int x = transaction[t];
    assert(t == 0 || transaction[t - 1] < x);
    int childCount = current->childCount;
    TreeNode** children = newArray<TreeNode*>(static_cast<std::size_t>(childCount));
    if (children == nullptr) return -1;
    int k = 0;
    for (TreeNode* child = current->firstChild; child != nullptr; child = child->nextSibling)
      children[k++] = child;

    int low = 0;
    int high = childCount - 1;
    int mid = 0;
    TreeNode* found = nullptr;
    while (low <= high) {
      mid = (low + high) / 2;
      if (children[mid]->edgeId == x) {
        found = children[mid];
        break;
      }
      if (children[mid]->edgeId > x) {
        high = mid - 1;
      } else {
        low = mid + 1;
      }
    }
    if (found != nullptr) {
      ++found->count;
      current = found;
    } else {
      TreeNode* created = new (std::nothrow) TreeNode;
      if (created == nullptr) {
        deleteArray(children);
        return reportOutOfMemory();
      }
      created->edgeId = x;
      created->count = 1;
      created->depth = current->depth + 1;
      created->parent = current;
      if (childCount == 0) {
        current->firstChild = created;
      } else if (mid == high) {
        children[mid]->nextSibling = created;
        created->nextSibling = low < childCount ? children[low] : nullptr;
      } else {
        created->nextSibling = children[mid];
        if (high < 0) {
          current->firstChild = created;
        } else {
          children[high]->nextSibling = created;
        }
      }
      ++current->childCount;
      current = created;
    }
    deleteArray(children);
  }
  return 0;
}

int buildEdgeTree() {
  treeRoot = newTreeRoot(stringCount);
  if (treeRoot == nullptr) return -1;
  StringReader reader;
  if (openStringReader(&reader) < 0) return -1;
  int* list = newArray<int>(static_cast<std::size_t>(maxItemLength));
  int* transaction = newArray<int>(static_cast<std::size_t>(edgeCount));
  int status = list == nullptr || transaction == nullptr ? -1 : 1;
  while (status > 0 && (status = nextString(&reader)) > 0) {
    int m = 0;
    for (int k = 0; k < reader.itemCount; ++k) {
      int item = reader.items[k];
      if (itemTable[item].frequent) list[m++] = item;
    }
    int length = makeEdgeTransaction(list, m, transaction);
    if (insertTransaction(transaction, length, treeRoot) < 0) status = -1;
  }
  if (status == 0) {
    for (TreeNode* child = treeRoot->firstChild; child != nullptr; child = child->nextSibling) {
      edgeTable[child->edgeId].occurrenceHead = child;
      edgeTable[child->edgeId].occurrenceCount = 1;
    }
  }
  deleteArray(list);
  deleteArray(transaction);
  closeStringReader(&reader);
  return status;
}

void releaseEdgeTree() {
  // The nodes are freed without recursion: the nextOccurrence links, no
  // longer needed, serve as the stack of nodes still to free.
  TreeNode* stack = treeRoot;
  if (stack != nullptr) stack->nextOccurrence = nullptr;
  while (stack != nullptr) {
    TreeNode* node = stack;
    stack = node->nextOccurrence;
    for (TreeNode* child = node->firstChild; child != nullptr; child = child->nextSibling) {
      child->nextOccurrence = stack;
      stack = child;
    }
    delete node;
  }
  treeRoot = nullptr;
}

}  // namespace tavrel
