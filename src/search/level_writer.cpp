#include "search/level_writer.h"

#include <algorithm>
#include <cstring>

#include "base/parallel_blocks.h"
#include "transactions/edge_database.h"

namespace tavrel {

namespace {

int wordsFor(int bits) { return (bits + 63) / 64; }

std::size_t tableSizeFor(std::size_t transactions) {
  std::size_t size = 16;
  while (size < 2 * transactions) size *= 2;
  return size;
}

// Sets bits [first, first + count) of a bit set.
void setRun(std::uint64_t* words, std::size_t first, std::size_t count) {
  std::size_t end = first + count;
  while (first < end) {
    std::size_t word = first / 64;
    std::size_t bit = first % 64;
    std::size_t take = end - first < 64 - bit ? end - first : 64 - bit;
    std::uint64_t mask = take == 64 ? ~std::uint64_t{0} : ((std::uint64_t{1} << take) - 1) << bit;
    words[word] |= mask;
    first += take;
  }
}

}  // namespace

bool LevelWriter::begin(HorizontalLevel& level, int headBits, bool merge,
                        std::size_t maxTransactions, std::size_t maxItems, SearchScratch& scratch) {
  level_ = &level;
  scratch_ = &scratch;
  merge_ = merge;
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
  if (!merge) return true;
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
  if (merge_) {
    Buffer<std::uint32_t>& table = scratch_->table;
    std::size_t mask = table.size() - 1;
    hash = hashTransaction(written, length);
    for (slot = hash & mask; table[slot] != 0; slot = (slot + 1) & mask) {
      std::size_t t = table[slot] - 1;
      if (scratch_->hashes[t] != hash) continue;
      std::size_t begin = level.offsets[t];
      if (level.offsets[t + 1] - begin != length ||
          std::memcmp(level.items.data() + begin, written, length * sizeof(std::uint32_t)) != 0) {
        continue;
      }
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
  if (merge_) {
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

namespace {

// The first item of transaction t that is `from` or later.
const std::uint32_t* firstFrom(const HorizontalLevel& level, std::size_t t, int from) {
  const std::uint32_t* begin = level.items.data() + level.offsets[t];
  const std::uint32_t* end = level.items.data() + level.offsets[t + 1];
  return from == 0 ? begin : std::lower_bound(begin, end, static_cast<std::uint32_t>(from));
}

// Lists the occurrences of `bucket` from the frame's lists.
long takeListed(const HorizontalLevel& level, const OccurrenceLists& lists, int bucket,
                SearchScratch& scratch) {
  const std::uint32_t* items = level.items.data();
  const ListedOccurrence* from = lists.entries.data() + lists.start[bucket];
  const ListedOccurrence* to = lists.entries.data() + lists.start[bucket + 1];
  long n = 0;
  for (const ListedOccurrence* o = from; o < to; ++o, ++n) {
    std::size_t t = o->transaction;
    scratch.occurrence[n] = static_cast<int>(t);
    scratch.occurrenceBegin[n] = items + o->position + 1;
    scratch.occurrenceEnd[n] = items + level.offsets[t + 1];
    scratch.occurrenceWeight[n] = level.weights[t];
  }
  return n;
}

// Below this many items the lists are made on one thread: starting another
// costs more than it saves.
constexpr std::size_t kFewestItemsToShare = std::size_t{1} << 18;

// The transactions where each of `blocks` blocks begins, and one past the
// last: the blocks hold about as many items each. False when memory ran out.
bool blockTransactions(const HorizontalLevel& level, std::size_t blocks,
                       Buffer<std::size_t>& first) {
  std::size_t transactions = level.transactionCount();
  if (!first.resize(blocks + 1)) return false;
  const std::size_t* offsets = level.offsets.data();
  for (std::size_t k = 0; k < blocks; ++k) {
    std::size_t item = level.items.size() / blocks * k;
    first[k] =
        static_cast<std::size_t>(std::lower_bound(offsets, offsets + transactions, item) - offsets);
  }
  first[blocks] = transactions;
  return true;
}

}  // namespace

bool listOccurrences(const HorizontalLevel& level, int candidateCount, std::size_t mostBytes,
                     int threads, OccurrenceLists& lists) {
  lists.made = false;
  std::size_t total = level.items.size();
  if (total >= 0xffffffffu || total * sizeof(ListedOccurrence) > mostBytes) {
    return true;
  }
  std::size_t candidates = static_cast<std::size_t>(candidateCount);
  std::size_t blocks =
      threads > 1 && total >= kFewestItemsToShare ? static_cast<std::size_t>(threads) : 1;
  // A counting sort, block by block of transactions: next[k * candidates
  // + c] first counts c's occurrences in block k, then says where the next
  // of them goes, after those of the blocks before, so that every list
  // stands in ascending transaction order however many blocks there are.
  Buffer<std::uint32_t> next;
  Buffer<std::size_t> first;
  if (!lists.start.resize(candidates + 1) || !lists.entries.resize(total) ||
      !next.assign(blocks * candidates, 0) || !blockTransactions(level, blocks, first)) {
    return false;
  }
  const std::uint32_t* items = level.items.data();
  const std::size_t* offsets = level.offsets.data();
  forEachBlock(blocks, [&](std::size_t k) {
    std::uint32_t* count = next.data() + k * candidates;
    std::size_t end = offsets[first[k + 1]];
    for (std::size_t i = offsets[first[k]]; i < end; ++i) {
      ++count[items[i]];
    }
  });
  std::uint32_t* start = lists.start.data();
  std::uint32_t placed = 0;
  for (std::size_t c = 0; c < candidates; ++c) {
    start[c] = placed;
    for (std::size_t k = 0; k < blocks; ++k) {
      std::uint32_t count = next[k * candidates + c];
      next[k * candidates + c] = placed;
      placed += count;
    }
  }
  start[candidates] = placed;
  ListedOccurrence* entries = lists.entries.data();
  forEachBlock(blocks, [&](std::size_t k) {
    std::uint32_t* at = next.data() + k * candidates;
    for (std::size_t t = first[k]; t < first[k + 1]; ++t) {
      for (std::size_t i = offsets[t]; i < offsets[t + 1]; ++i) {
        entries[at[items[i]]++] =
            ListedOccurrence{static_cast<std::uint32_t>(t), static_cast<std::uint32_t>(i)};
      }
    }
  });
  lists.made = true;
  return true;
}

bool startDelivery(const HorizontalLevel& level, int candidateCount, int from,
                   const OccurrenceLists* lists, Buckets& buckets) {
  buckets.taken = -1;
  buckets.lists = lists != nullptr && lists->made ? lists : nullptr;
  if (buckets.lists != nullptr) return true;
  std::size_t transactions = level.transactionCount();
  if (!buckets.bucketHead.assign(static_cast<std::size_t>(candidateCount), -1) ||
      !buckets.slots.resize(transactions)) {
    return false;
  }
  const std::uint32_t* items = level.items.data();
  for (std::size_t t = transactions; t-- > 0;) {
    const std::uint32_t* end = items + level.offsets[t + 1];
    const std::uint32_t* first = firstFrom(level, t, from);
    DeliverySlot& slot = buckets.slots[t];
    slot.position = static_cast<std::size_t>(first - items);
    slot.end = level.offsets[t + 1];
    slot.weight = level.weights[t];
    if (first == end) continue;
    slot.next = buckets.bucketHead[*first];
    buckets.bucketHead[*first] = static_cast<int>(t);
  }
  return true;
}

namespace {

// Moves every transaction of linked bucket `bucket` on to the bucket of its
// next item, calling visit(t, slot) for each first, its position already
// past the bucket's candidate.
template <typename Visit>
void moveBucketOn(const HorizontalLevel& level, Buckets& buckets, int bucket, Visit visit) {
  const std::uint32_t* items = level.items.data();
  DeliverySlot* slots = buckets.slots.data();
  int* heads = buckets.bucketHead.data();
  int t = heads[bucket];
  heads[bucket] = -1;
  while (t >= 0) {
    DeliverySlot& slot = slots[t];
    int following = slot.next;
    ++slot.position;
    visit(t, slot);
    if (slot.position < slot.end) {
      std::uint32_t item = items[slot.position];
      slot.next = heads[item];
      heads[item] = t;
    }
    t = following;
  }
}

}  // namespace

void advanceBucket(const HorizontalLevel& level, Buckets& buckets, int bucket) {
  if (buckets.lists != nullptr) return;
  moveBucketOn(level, buckets, bucket, [](int, const DeliverySlot&) {});
}

long takeBucket(const HorizontalLevel& level, Buckets& buckets, int bucket,
                SearchScratch& scratch) {
  std::size_t transactions = level.transactionCount();
  if (!scratch.occurrenceBegin.resize(transactions) ||
      !scratch.occurrenceEnd.resize(transactions) ||
      !scratch.occurrenceWeight.resize(transactions) || !scratch.occurrence.resize(transactions)) {
    return -1;
  }
  buckets.taken = bucket;
  if (buckets.lists != nullptr) return takeListed(level, *buckets.lists, bucket, scratch);
  const std::uint32_t* items = level.items.data();
  long n = 0;
  moveBucketOn(level, buckets, bucket, [&](int t, const DeliverySlot& slot) {
    scratch.occurrence[n] = t;
    scratch.occurrenceBegin[n] = items + slot.position;
    scratch.occurrenceEnd[n] = items + slot.end;
    scratch.occurrenceWeight[n] = slot.weight;
    ++n;
  });
  return n;
}

bool prefersVertical(const HorizontalLevel& level, int candidateCount) {
  std::size_t rows = 0;
  for (int weight : level.weights) rows += static_cast<std::size_t>(weight);
  std::size_t rowWords = (rows + 63) / 64;
  std::size_t candidates = static_cast<std::size_t>(candidateCount);
  // A word of row sets costs about four items delivered (measured on the
  // dense real databases, whose first levels sit near the balance).
  return candidates * candidates * rowWords < 4 * level.squaredLengths;
}

bool makeVerticalBase(FrameData& frame) {
  const HorizontalLevel& level = frame.horizontal;
  int candidateCount = frame.candidateCount();
  VerticalBase& base = frame.base;
  VerticalView& view = frame.view;
  std::size_t rows = 0;
  for (int weight : level.weights) rows += static_cast<std::size_t>(weight);
  std::size_t rowWords = (rows + 63) / 64;
  std::size_t slots = static_cast<std::size_t>(candidateCount + level.headBits);
  base.rowWords = static_cast<int>(rowWords);
  if (!base.rowSets.assign(slots * rowWords, 0)) return false;
  std::size_t words = static_cast<std::size_t>(level.headWords);
  std::size_t row = 0;
  for (std::size_t t = 0; t < level.transactionCount(); ++t) {
    std::size_t weight = static_cast<std::size_t>(level.weights[t]);
    std::uint64_t* rowSets = base.rowSets.data();
    if (weight == 1) {
      std::uint64_t bit = std::uint64_t{1} << (row % 64);
      std::size_t word = row / 64;
      for (std::size_t k = level.offsets[t]; k < level.offsets[t + 1]; ++k) {
        rowSets[level.items[k] * rowWords + word] |= bit;
      }
    } else {
      for (std::size_t k = level.offsets[t]; k < level.offsets[t + 1]; ++k) {
        setRun(rowSets + level.items[k] * rowWords, row, weight);
      }
    }
    const std::uint64_t* head = level.heads.data() + t * words;
    for (std::size_t w = 0; w < words; ++w) {
      for (std::uint64_t rest = head[w]; rest != 0; rest &= rest - 1) {
        std::size_t slot = static_cast<std::size_t>(candidateCount) + w * 64 +
                           static_cast<std::size_t>(__builtin_ctzll(rest));
        setRun(rowSets + slot * rowWords, row, weight);
      }
    }
    row += weight;
  }
  view.baseFrame = &frame;
  if (!view.slotOf.resize(static_cast<std::size_t>(candidateCount)) ||
      !view.witnessSlots.resize(static_cast<std::size_t>(level.headBits)) ||
      !view.activeIndex.resize(rowWords) || !view.activeBits.resize(rowWords)) {
    return false;
  }
  for (int c = 0; c < candidateCount; ++c) view.slotOf[c] = static_cast<std::uint32_t>(c);
  for (int b = 0; b < level.headBits; ++b) {
    view.witnessSlots[b] = static_cast<std::uint32_t>(candidateCount + b);
  }
  for (std::size_t w = 0; w < rowWords; ++w) {
    view.activeIndex[w] = static_cast<std::uint32_t>(w);
    std::size_t bitsHere = rows - w * 64 < 64 ? rows - w * 64 : 64;
    view.activeBits[w] = bitsHere == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << bitsHere) - 1;
  }
  return true;
}

}  // namespace tavrel
