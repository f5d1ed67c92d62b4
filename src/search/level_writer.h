// Writing a frame's strings in horizontal form: the transactions of a new
// level, written one at a time and merged when equal, and its witness bits
// then numbered densely. (Delivering a level's transactions to the
// candidates is occurrence_delivery.h's; turning a level into row sets,
// vertical_base.h's.)
#pragma once

#include <cstddef>
#include <cstdint>

#include "search/search_frame.h"

namespace tavrel {

// Which transactions a level writer merges.
enum class Merging {
  kNone,
  // Those of equal items; the merged one keeps the witness bits that all
  // have (enough to tell whether every string of an extension holds a
  // witness).
  kEqualItems,
  // Those of equal items and equal witness bits, so that the bits of every
  // string are kept and can be counted (for maximality).
  kEqualItemsAndWitnesses,
};

class LevelWriter {
 public:
  // Starts writing `level` anew: at most `maxTransactions` transactions of
  // at most `maxItems` items in all, each with `headBits` witness bits,
  // merged as `merging` says. False when memory ran out.
  bool begin(HorizontalLevel& level, int headBits, Merging merging, std::size_t maxTransactions,
             std::size_t maxItems, SearchScratch& scratch);

  // Where the next transaction's items are written (room as promised to
  // begin()), and its witness bits (headWords() words, to be filled in full
  // by the caller before commit()).
  std::uint32_t* items() { return level_->items.data() + level_->items.size(); }
  std::uint64_t* head() { return scratch_->words.data(); }
  int headWords() const { return level_->headWords; }

  // Ends the transaction of `length` items written at items(), standing for
  // `weight` strings: an empty one is dropped, one equal to a transaction
  // written before (as begin()'s `merging` says) adds its weight there and
  // keeps only the witness bits both have, any other is kept.
  void commit(std::size_t length, int weight);

 private:
  HorizontalLevel* level_ = nullptr;
  SearchScratch* scratch_ = nullptr;
  Merging merging_ = Merging::kNone;
};

// Drops the witness bits that fewer than minSup strings of the level hold
// (they can never stand in all the strings of an extension) and numbers
// the others densely. False when memory ran out.
bool compactHeads(HorizontalLevel& level, SearchScratch& scratch);

}  // namespace tavrel
