#include "transactions/edge_database.h"

#include "base/transaction_table.h"

namespace tavrel {

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
