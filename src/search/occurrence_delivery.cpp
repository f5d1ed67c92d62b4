#include "search/occurrence_delivery.h"

#include <algorithm>

#include "base/parallel_blocks.h"

namespace tavrel {

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

}  // namespace tavrel
