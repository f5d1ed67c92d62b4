#include "tree/transactions.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <cstring>

#include "state/memory.h"
#include "tree/tree_shape.h"

namespace tavrel {

int appendTransaction(TransactionStore& store, const int* transaction, int length, int weight) {
  // A string that held an item twice could hold an edge twice; the line
  // reader refuses such strings, so every transaction rises strictly.
  for (int k = 1; k < length; ++k) assert(transaction[k - 1] < transaction[k]);
  if (store.count == store.capacity) {
    int capacity = store.capacity == 0 ? 1024 : store.capacity * 2;
    std::size_t slots = static_cast<std::size_t>(capacity);
    void* starts = std::realloc(store.starts, sizeof(std::size_t) * slots);
    if (starts != nullptr) store.starts = static_cast<std::size_t*>(starts);
    void* lengths = std::realloc(store.lengths, sizeof(int) * slots);
    if (lengths != nullptr) store.lengths = static_cast<int*>(lengths);
    void* weights = std::realloc(store.weights, sizeof(int) * slots);
    if (weights != nullptr) store.weights = static_cast<int*>(weights);
    if (starts == nullptr || lengths == nullptr || weights == nullptr) return reportOutOfMemory();
    store.capacity = capacity;
  }
  std::size_t needed = store.entryCount + static_cast<std::size_t>(length);
  if (needed > store.entryCapacity) {
    std::size_t capacity = store.entryCapacity == 0 ? 65536 : store.entryCapacity;
    while (capacity < needed) capacity *= 2;
    void* grown = std::realloc(store.entries, sizeof(int) * capacity);
    if (grown == nullptr) return reportOutOfMemory();
    adviseHugePages(grown, sizeof(int) * capacity);
    store.entries = static_cast<int*>(grown);
    store.entryCapacity = capacity;
  }
  if (length > 0) {
    std::memcpy(store.entries + store.entryCount, transaction,
                sizeof(int) * static_cast<std::size_t>(length));
  }
  store.starts[store.count] = store.entryCount;
  store.lengths[store.count] = length;
  store.weights[store.count] = weight;
  store.entryCount = needed;
  ++store.count;
  return 0;
}

void freeTransactions(TransactionStore& store) {
  std::free(store.entries);
  std::free(store.starts);
  std::free(store.lengths);
  std::free(store.weights);
  store = TransactionStore{};
}

namespace {

// The number of leading entries that two transactions share.
int commonPrefix(const int* a, int lengthA, const int* b, int lengthB) {
  int limit = std::min(lengthA, lengthB);
  int k = 0;
  while (k < limit && a[k] == b[k]) ++k;
  return k;
}

}  // namespace

// In ascending lexicographic order each transaction shares a prefix with
// the one before and adds its own nodes after everything made so far: the
// nodes come out in pre-order, each new one the last child of its parent.
int buildPrefixTree(const TransactionStore& store, int rootCount, PrefixTree* tree,
                    bool withLinks) {
  *tree = PrefixTree{};
  int* order = newArray<int>(static_cast<std::size_t>(store.count));
  if (order == nullptr) return -1;
  for (int k = 0; k < store.count; ++k) order[k] = k;
  const int* entries = store.entries;
  std::sort(order, order + store.count, [&store, entries](int a, int b) {
    const int* first = entries + store.starts[a];
    const int* second = entries + store.starts[b];
    return std::lexicographical_compare(first, first + store.lengths[a], second,
                                        second + store.lengths[b]);
  });

  // Count the nodes first, so that the arrays are made once.
  std::size_t total = 1;
  int longest = 0;
  for (int k = 0; k < store.count; ++k) {
    const int* transaction = entries + store.starts[order[k]];
    int length = store.lengths[order[k]];
    int shared = 0;
    if (k > 0) {
      shared = commonPrefix(entries + store.starts[order[k - 1]], store.lengths[order[k - 1]],
                            transaction, length);
    }
    total += static_cast<std::size_t>(length - shared);
    longest = std::max(longest, length);
  }
  int* path = newArray<int>(static_cast<std::size_t>(longest) + 1);
  if (total > 2147483647u) reportOutOfMemory();
  if (total > 2147483647u || path == nullptr ||
      allocatePrefixTree(tree, static_cast<int>(total), withLinks) < 0) {
    deleteArray(path);
    deleteArray(order);
    return -1;
  }
  if (withLinks) std::fill(tree->nextOccurrence, tree->nextOccurrence + total, -1);
  tree->nodes[0].edgeId = -1;
  tree->nodes[0].count = rootCount;
  tree->parent[0] = -1;
  path[0] = 0;
  int next = 1;
  int pathLength = 0;  // nodes on the path of the previous transaction, root excluded
  for (int k = 0; k < store.count; ++k) {
    const int* transaction = entries + store.starts[order[k]];
    int length = store.lengths[order[k]];
    int weight = store.weights[order[k]];
    int shared = 0;
    if (k > 0) {
      shared = commonPrefix(entries + store.starts[order[k - 1]], store.lengths[order[k - 1]],
                            transaction, length);
    }
    // The previous path's nodes below the shared part are complete.
    for (int d = pathLength; d > shared; --d) tree->subtreeSize[path[d]] = next - path[d] - 1;
    for (int d = 1; d <= shared; ++d) tree->nodes[path[d]].count += weight;
    for (int d = shared; d < length; ++d) {
      int node = next++;
      tree->nodes[node].edgeId = transaction[d];
      tree->nodes[node].count = weight;
      tree->parent[node] = path[d];
      path[d + 1] = node;
    }
    pathLength = length;
  }
  for (int d = pathLength; d >= 0; --d) tree->subtreeSize[path[d]] = next - path[d] - 1;
  deleteArray(path);
  deleteArray(order);
  return 0;
}

}  // namespace tavrel
