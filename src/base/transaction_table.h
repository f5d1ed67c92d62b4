// The probe of the hash tables that merge equal transactions as they are
// written (the edge database's builder and the search's level writer).
// A table's slots hold a transaction's number + 1, 0 when free; its size is
// a power of two, and it is never full.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "base/buffer.h"

namespace tavrel {

// Every transaction of equal items is equal (the default of findTransaction).
struct EqualItemsSuffice {
  bool operator()(std::size_t) const { return true; }
};

// The slot of `table` that holds the transaction equal to the `length`
// items at `items`, whose hash is `hash`, and for which `sameRest(t)` is
// true; when there is none, the free slot where it belongs. Transaction t
// holds all[offsets[t] .. offsets[t + 1]) and its hash is hashes[t].
template <class SameRest = EqualItemsSuffice>
inline std::size_t findTransaction(const Buffer<std::uint32_t>& table,
                                   const Buffer<std::uint64_t>& hashes,
                                   const Buffer<std::size_t>& offsets,
                                   const Buffer<std::uint32_t>& all, const std::uint32_t* items,
                                   std::size_t length, std::uint64_t hash, SameRest sameRest = {}) {
  std::size_t mask = table.size() - 1;
  for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
    std::uint32_t entry = table[slot];
    if (entry == 0) return slot;
    std::size_t t = entry - 1;
    if (hashes[t] != hash) continue;
    std::size_t begin = offsets[t];
    if (offsets[t + 1] - begin == length &&
        std::memcmp(all.data() + begin, items, length * sizeof(std::uint32_t)) == 0 &&
        sameRest(t)) {
      return slot;
    }
  }
}

}  // namespace tavrel
