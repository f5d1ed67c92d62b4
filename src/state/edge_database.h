// The strings' edge transactions as the search starts from them: every
// distinct non-empty transaction once, with the number of strings that hold
// exactly it as its weight, and each edge's support. A record of the run's
// state (state/run_state.h), built by transactions/edge_database.h and
// read by the search.
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

// The hash of a transaction's contents used to find equal transactions.
std::uint64_t hashTransaction(const std::uint32_t* items, std::size_t length);

}  // namespace tavrel
