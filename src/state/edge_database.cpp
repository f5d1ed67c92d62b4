#include "state/edge_database.h"

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

}  // namespace tavrel
