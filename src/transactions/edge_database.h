// The building of the edge database (state/edge_database.h): equal
// transactions merged as they come.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/buffer.h"
#include "state/edge_database.h"

namespace tavrel {

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

}  // namespace tavrel
