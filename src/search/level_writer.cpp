#include "search/level_writer.h"

#include <cstring>

#include "base/transaction_table.h"
#include "state/edge_database.h"

namespace tavrel {

namespace {

int wordsFor(int bits) { return (bits + 63) / 64; }

std::size_t tableSizeFor(std::size_t transactions) {
  std::size_t size = 16;
  while (size < 2 * transactions) size *= 2;
  return size;
}

}  // namespace

bool LevelWriter::begin(HorizontalLevel& level, int headBits, Merging merging,
                        std::size_t maxTransactions, std::size_t maxItems, SearchScratch& scratch) {
  level_ = &level;
  scratch_ = &scratch;
  merging_ = merging;
  level.items.clear();
  level.offsets.clear();
  level.weights.clear();
  level.heads.clear();
  level.headBits = headBits;
  level.headWords = wordsFor(headBits);
  level.squaredLengths = 0;
  std::size_t words = static_cast<std::size_t>(level.headWords);
  if (!level.items.reserve(maxItems) || !level.offsets.reserve(maxTransactions + 1) ||
      !level.weights.reserve(maxTransactions) || !level.heads.reserve(maxTransactions * words) ||
      !scratch.words.resize(words) || !level.offsets.push(0)) {
    return false;
  }
  if (merging == Merging::kNone) return true;
  scratch.hashes.clear();
  return scratch.table.assign(tableSizeFor(maxTransactions), 0) &&
         scratch.hashes.reserve(maxTransactions);
}

void LevelWriter::commit(std::size_t length, int weight) {
  if (length == 0) return;
  HorizontalLevel& level = *level_;
  const std::uint32_t* written = items();
  std::size_t words = static_cast<std::size_t>(level.headWords);
  const std::uint64_t* head = scratch_->words.data();
  std::size_t slot = 0;
  std::uint64_t hash = 0;
  if (merging_ != Merging::kNone) {
    hash = hashTransaction(written, length);
    // Without witness bits (words == 0), equal items are enough.
    if (merging_ == Merging::kEqualItems || words == 0) {
      slot = findTransaction(scratch_->table, scratch_->hashes, level.offsets, level.items, written,
                             length, hash);
    } else {
      for (std::size_t w = 0; w < words; ++w) {
        hash = (hash ^ head[w]) * 0x9e3779b97f4a7c15u;
        hash ^= hash >> 29;
      }
      slot = findTransaction(scratch_->table, scratch_->hashes, level.offsets, level.items, written,
                             length, hash, [&](std::size_t t) {
                               return std::memcmp(level.heads.data() + t * words, head,
                                                  words * sizeof(std::uint64_t)) == 0;
                             });
    }
    if (std::uint32_t entry = scratch_->table[slot]; entry != 0) {
      std::size_t t = entry - 1;
      level.weights[t] += weight;
      std::uint64_t* kept = level.heads.data() + t * words;
      for (std::size_t w = 0; w < words; ++w) kept[w] &= head[w];
      return;
    }
  }
  std::size_t t = level.weights.size();
  // The buffers were reserved in begin(): these cannot fail.
  level.items.resize(level.items.size() + length);
  level.offsets.push(level.items.size());
  level.weights.push(weight);
  level.heads.append(head, words);
  level.squaredLengths += length * length;
  if (merging_ != Merging::kNone) {
    scratch_->hashes.push(hash);
    scratch_->table[slot] = static_cast<std::uint32_t>(t + 1);
  }
}

bool compactHeads(HorizontalLevel& level, SearchScratch& scratch) {
  int bits = level.headBits;
  if (bits == 0) return true;
  std::size_t words = static_cast<std::size_t>(level.headWords);
  if (!scratch.bitCount.assign(static_cast<std::size_t>(bits), 0) ||
      !scratch.keptBit.resize(static_cast<std::size_t>(bits))) {
    return false;
  }
  std::size_t transactions = level.transactionCount();
  for (std::size_t t = 0; t < transactions; ++t) {
    const std::uint64_t* head = level.heads.data() + t * words;
    int weight = level.weights[t];
    for (std::size_t w = 0; w < words; ++w) {
      for (std::uint64_t rest = head[w]; rest != 0; rest &= rest - 1) {
        scratch.bitCount[w * 64 + static_cast<std::size_t>(__builtin_ctzll(rest))] += weight;
      }
    }
  }
  int kept = 0;
  for (int b = 0; b < bits; ++b) {
    scratch.keptBit[b] = scratch.bitCount[b] >= scratch.minSup() ? kept++ : -1;
  }
  if (kept == bits) return true;
  std::size_t newWords = static_cast<std::size_t>(wordsFor(kept));
  if (!scratch.words.resize(words)) return false;
  std::uint64_t* old = scratch.words.data();
  for (std::size_t t = 0; t < transactions; ++t) {
    std::memcpy(old, level.heads.data() + t * words, words * sizeof(std::uint64_t));
    std::uint64_t* head = level.heads.data() + t * newWords;
    for (std::size_t w = 0; w < newWords; ++w) head[w] = 0;
    for (std::size_t w = 0; w < words; ++w) {
      for (std::uint64_t rest = old[w]; rest != 0; rest &= rest - 1) {
        int to = scratch.keptBit[w * 64 + static_cast<std::size_t>(__builtin_ctzll(rest))];
        if (to >= 0) head[to / 64] |= std::uint64_t{1} << (to % 64);
      }
    }
  }
  level.heads.resize(transactions * newWords);
  level.headBits = kept;
  level.headWords = static_cast<int>(newWords);
  return true;
}

}  // namespace tavrel
