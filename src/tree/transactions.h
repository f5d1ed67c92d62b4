// Edge transactions gathered in one growing array, and the prefix tree
// built from them.
#pragma once

#include <cstddef>

#include "state/records.h"

namespace tavrel {

struct TransactionStore {
  int* entries = nullptr;  // all transactions, one after the other
  std::size_t entryCount = 0;
  std::size_t entryCapacity = 0;
  std::size_t* starts = nullptr;  // start of transaction k in entries
  int* lengths = nullptr;
  int* weights = nullptr;  // how many strings transaction k stands for
  int count = 0;
  int capacity = 0;
};

// Appends a transaction (length entries, strictly ascending edgeIds)
// standing for `weight` strings. Returns 0, or -1 after reporting a lack of
// memory.
int appendTransaction(TransactionStore& store, const int* transaction, int length, int weight = 1);

// Frees the store's arrays and empties it.
void freeTransactions(TransactionStore& store);

// Builds the prefix tree of the store's transactions into `tree`: the root
// (edgeId -1, count rootCount), then one node per distinct non-empty
// transaction prefix, whose count is the weight of the transactions that
// begin with it, in pre-order with children in ascending edgeId. Occurrence
// links are made (all -1) only when `withLinks` is true. Returns 0, or -1
// after reporting a lack of memory. The tree is freed with freePrefixTree().
int buildPrefixTree(const TransactionStore& store, int rootCount, PrefixTree* tree,
                    bool withLinks = true);

}  // namespace tavrel
