// The merge tables' probe: a transaction is found only where an equal one
// stands, however its hash collides, and the probe wraps past the table's
// end.
#include "base/transaction_table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace tavrel {
namespace {

struct Table {
  Buffer<std::uint32_t> slots;
  Buffer<std::uint64_t> hashes;
  Buffer<std::size_t> offsets;
  Buffer<std::uint32_t> items;

  Table() {
    EXPECT_TRUE(slots.assign(8, 0));
    EXPECT_TRUE(offsets.push(0));
  }
  std::size_t find(const std::vector<std::uint32_t>& t, std::uint64_t hash) const {
    return findTransaction(slots, hashes, offsets, items, t.data(), t.size(), hash);
  }
  // Adds `t` where the probe says it belongs; returns that slot.
  std::size_t add(const std::vector<std::uint32_t>& t, std::uint64_t hash) {
    std::size_t slot = find(t, hash);
    EXPECT_EQ(slots[slot], 0u);
    EXPECT_TRUE(items.append(t.data(), t.size()) && offsets.push(items.size()) &&
                hashes.push(hash));
    slots[slot] = static_cast<std::uint32_t>(hashes.size());
    return slot;
  }
};

TEST(TransactionTableTest, FindsOnlyEqualTransactionsAndWrapsAround) {
  Table table;
  // Three transactions with one hash, whose first slot is the last one.
  EXPECT_EQ(table.add({1, 2}, 7), 7u);
  EXPECT_EQ(table.add({1, 3}, 7), 0u);
  EXPECT_EQ(table.add({1, 2, 3}, 15), 1u);  // another hash, the same first slot
  EXPECT_EQ(table.add({5}, 3), 3u);
  EXPECT_EQ(table.find({1, 2}, 7), 7u);
  EXPECT_EQ(table.find({1, 3}, 7), 0u);
  EXPECT_EQ(table.find({1, 2, 3}, 15), 1u);
  EXPECT_EQ(table.find({5}, 3), 3u);
  // Same hash, other items or a prefix: the free slot after the chain.
  EXPECT_EQ(table.find({1, 4}, 7), 2u);
  EXPECT_EQ(table.find({1}, 7), 2u);
  EXPECT_EQ(table.find({1, 2}, 15), 2u);  // equal items, another hash
}

}  // namespace
}  // namespace tavrel
