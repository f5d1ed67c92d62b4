// Making a frame's strings: the transactions of a new horizontal level,
// written one at a time and merged when equal, then either made ready for
// occurrence delivery or turned into the row sets of a vertical base.
#pragma once

#include <cstddef>
#include <cstdint>

#include "search/search_frame.h"

namespace tavrel {

class LevelWriter {
 public:
  // Starts writing `level` anew: at most `maxTransactions` transactions of
  // at most `maxItems` items in all, each with `headBits` witness bits.
  // Equal transactions are merged when `merge` is set. False when memory
  // ran out.
  bool begin(HorizontalLevel& level, int headBits, bool merge, std::size_t maxTransactions,
             std::size_t maxItems, SearchScratch& scratch);

  // Where the next transaction's items are written (room as promised to
  // begin()), and its witness bits (headWords() words, to be filled in full
  // by the caller before commit()).
  std::uint32_t* items() { return level_->items.data() + level_->items.size(); }
  std::uint64_t* head() { return scratch_->words.data(); }
  int headWords() const { return level_->headWords; }

  // Ends the transaction of `length` items written at items(), standing for
  // `weight` strings: an empty one is dropped, one equal to a transaction
  // written before adds its weight there and keeps only the witness bits
  // both have, any other is kept.
  void commit(std::size_t length, int weight);

 private:
  HorizontalLevel* level_ = nullptr;
  SearchScratch* scratch_ = nullptr;
  bool merge_ = false;
};

// Drops the witness bits that fewer than minSup strings of the level hold
// (they can never stand in all the strings of an extension) and numbers
// the others densely. False when memory ran out.
bool compactHeads(HorizontalLevel& level, SearchScratch& scratch);

// Makes `lists` (see OccurrenceLists) for the level when they take at most
// `mostBytes`, on up to `threads` threads (the same lists on any number);
// leaves lists.made false otherwise. False when memory ran out.
bool listOccurrences(const HorizontalLevel& level, int candidateCount, std::size_t mostBytes,
                     int threads, OccurrenceLists& lists);

// Starts delivering the level's transactions to the candidates from `from`
// on: from `lists` when given and made, otherwise by putting every
// transaction in the bucket of its first item that is `from` or later
// (none when it has no such item). False when memory ran out.
bool startDelivery(const HorizontalLevel& level, int candidateCount, int from,
                   const OccurrenceLists* lists, Buckets& buckets);

// Moves every transaction of `bucket` on to the bucket of its next item,
// once the loop is done with that candidate.
void advanceBucket(const HorizontalLevel& level, Buckets& buckets, int bucket);

// Lists the transactions of `bucket` in scratch.occurrence, with where
// their items after the bucket's candidate begin and end and their weights,
// and moves them on as advanceBucket() does, in one walk of the bucket
// (noted in buckets.taken). Returns their number, or -1 when memory ran out
// (then nothing has moved).
long takeBucket(const HorizontalLevel& level, Buckets& buckets, int bucket, SearchScratch& scratch);

// True when the level's strings are cheaper to search as row sets: the
// candidates' row sets, intersected pairwise, cost fewer word operations
// than delivering the transactions' items pairwise.
bool prefersVertical(const HorizontalLevel& level, int candidateCount);

// Turns the frame's horizontal level into a vertical base with one row per
// string: each candidate's and each witness bit's row set, and the frame's
// view of it (every row active). False when memory ran out.
bool makeVerticalBase(FrameData& frame);

}  // namespace tavrel
