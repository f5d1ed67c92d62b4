// The strings' edge transactions as the search starts from them: every
// distinct non-empty transaction once, with the number of strings that hold
// exactly it as its weight, and each edge's support.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/buffer.h"

namespace tavrel {

struct EdgeDatabase {
  int edgeCount = 0;     // edges are numbered 0 .. edgeCount - 1
  int rootSupport = 0;   // the support of the empty pattern: the number of strings
  Buffer<int> supports;  // per edge: the strings whose transaction holds it
  // Transaction t holds items[offsets[t] .. offsets[t + 1]), edgeIds in
  // strictly ascending order, and stands for weights[t] strings.
  Buffer<std::uint32_t> items;
  Buffer<std::size_t> offsets;
  Buffer<int> weights;

  std::size_t transactionCount() const { return weights.size(); }
};

// Builds an EdgeDatabase one string's transaction at a time, merging equal
// transactions as they come (a hash table over their contents), so that
// many strings that share their edges cost the memory of one.
class EdgeDatabaseBuilder {
 public:
  // Starts an empty database over `edgeCount` edges.
  bool start(int edgeCount, int rootSupport);
  // Adds a transaction (strictly ascending edgeIds, any length, empty
  // included) that `weight` strings hold. False when memory ran out.
  bool add(const std::uint32_t* transaction, std::size_t length, int weight = 1);
  // Adds every transaction of a database built apart (on other strings).
  // False when memory ran out.
  bool absorb(const EdgeDatabase& part);
  // Hands over the finished database and empties the builder.
  EdgeDatabase finish();

 private:
  bool growTable();

  EdgeDatabase database_;
  Buffer<std::uint32_t> table_;  // transaction index + 1 per slot, 0 when free
  Buffer<std::uint64_t> hashes_;
};

// The hash of a transaction's contents used to find equal transactions.
std::uint64_t hashTransaction(const std::uint32_t* items, std::size_t length);

}  // namespace tavrel
