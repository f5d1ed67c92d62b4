#include "transactions/edge_database.h"

#include "base/transaction_table.h"

namespace tavrel {

std::uint64_t hashTransaction(const std::uint32_t* items, std::size_t length) {
  constexpr std::uint64_t kMultiplier = 0xff51afd7ed558ccdULL;
  // Two chains of multiplications side by side, each taking two items per
  // step: the chains' latency is what the time goes to.
  std::uint64_t first = 0x9e3779b97f4a7c15ULL ^ length;
  std::uint64_t second = 0xc2b2ae3d27d4eb4fULL;
  std::size_t k = 0;
  for (; k + 4 <= length; k += 4) {
    first = (first ^ (items[k] | (std::uint64_t{items[k + 1]} << 32))) * kMultiplier;
    second = (second ^ (items[k + 2] | (std::uint64_t{items[k + 3]} << 32))) * kMultiplier;
    first ^= first >> 29;
    second ^= second >> 29;
  }
  for (; k < length; ++k) first = (first ^ items[k]) * kMultiplier;
  std::uint64_t hash = (first ^ (second * 0x94d049bb133111ebULL)) * kMultiplier;
  // The last items' high bits reach the low bits, which pick the slot.
  hash ^= hash >> 32;
  hash *= kMultiplier;
  return hash ^ (hash >> 29);
}

bool EdgeDatabaseBuilder::start(int edgeCount, int rootSupport) {
  database_ = EdgeDatabase{};
  database_.edgeCount = edgeCount;
  database_.rootSupport = rootSupport;
  table_.release();
  hashes_.release();
  return database_.supports.assign(static_cast<std::size_t>(edgeCount), 0) &&
         database_.offsets.push(0) && table_.assign(1024, 0);
}

bool EdgeDatabaseBuilder::growTable() {
  Buffer<std::uint32_t> grown;
  if (!grown.assign(table_.size() * 2, 0)) return false;
  std::size_t mask = grown.size() - 1;
  for (std::size_t t = 0; t < hashes_.size(); ++t) {
    std::size_t slot = hashes_[t] & mask;
    while (grown[slot] != 0) slot = (slot + 1) & mask;
    grown[slot] = static_cast<std::uint32_t>(t + 1);
  }
  table_ = std::move(grown);
  return true;
}

bool EdgeDatabaseBuilder::add(const std::uint32_t* transaction, std::size_t length, int weight) {
  for (std::size_t k = 0; k < length; ++k) database_.supports[transaction[k]] += weight;
  if (length == 0) return true;
  std::uint64_t hash = hashTransaction(transaction, length);
  std::size_t slot = findTransaction(table_, hashes_, database_.offsets, database_.items,
                                     transaction, length, hash);
  if (table_[slot] != 0) {
    database_.weights[table_[slot] - 1] += weight;
    return true;
  }
  if (database_.weights.size() >= 0xfffffffeu) return false;  // beyond the table's reach
  if (!database_.items.append(transaction, length) ||
      !database_.offsets.push(database_.items.size()) || !database_.weights.push(weight) ||
      !hashes_.push(hash)) {
    return false;
  }
  table_[slot] = static_cast<std::uint32_t>(database_.weights.size());
  if (hashes_.size() * 2 > table_.size()) return growTable();
  return true;
}

bool EdgeDatabaseBuilder::absorb(const EdgeDatabase& part) {
  for (std::size_t t = 0; t < part.transactionCount(); ++t) {
    std::size_t begin = part.offsets[t];
    if (!add(part.items.data() + begin, part.offsets[t + 1] - begin, part.weights[t])) return false;
  }
  return true;
}

EdgeDatabase EdgeDatabaseBuilder::finish() {
  table_.release();
  hashes_.release();
  EdgeDatabase done = std::move(database_);
  database_ = EdgeDatabase{};
  return done;
}

}  // namespace tavrel
