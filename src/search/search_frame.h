// The working records of the closed pattern search.
//
// A frame stands for a closed pattern P and the strings that hold it. Its
// candidates are the edges after P's last extension edge that at least
// minSup but not all of those strings hold, numbered 0, 1, 2 ... in
// ascending edgeId (the frame's local numbers). The strings are kept in one
// of two forms:
// - horizontal: merged transactions of local numbers with their weights,
//   and per transaction a set of witness bits (see closed_search.cpp);
// - vertical: for each candidate and each witness, the set of rows (one row
//   per string) that hold it, as bit sets. A vertical frame either owns
//   these sets (it is the base of a vertical run) or works on those of an
//   ancestor, with the set of rows that hold P.
//
// A frame's data does not change once it is made, but for the marks of
// absorbed candidates, which only ever get set; so one frame can be worked
// on by several threads, each taking a range of its candidates with a
// cursor of its own.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "base/buffer.h"
#include "search/frame_policy.h"
#include "search/row_counting.h"
#include "search/top_pairs.h"

namespace tavrel {

struct HorizontalLevel {
  Buffer<std::uint32_t> items;     // local numbers, strictly ascending per transaction
  Buffer<std::size_t> offsets;     // transaction t is items[offsets[t] .. offsets[t + 1])
  Buffer<int> weights;             // strings per transaction
  int headBits = 0;                // witness bits per transaction
  int headWords = 0;               // words per transaction in heads
  Buffer<std::uint64_t> heads;     // transaction t's witness bits at heads[t * headWords]
  std::size_t squaredLengths = 0;  // sum of the squared transaction lengths

  std::size_t transactionCount() const { return weights.size(); }
};

// Every candidate's transactions at once, each with the position of the
// candidate in it: candidate c's stand at entries[start[c] .. start[c + 1]),
// in ascending transaction order. Made for the top frame when they fit in
// mostBytes() (they take twice the level's own items; on large levels the
// linked delivery below keeps a run's memory close to its transactions).
struct ListedOccurrence {
  std::uint32_t transaction;
  std::uint32_t position;  // where the candidate stands in the level's items
};

struct OccurrenceLists {
  static constexpr std::size_t kMostBytes = std::size_t{16} << 20;
  static constexpr std::size_t kMostBytesShared = std::size_t{256} << 20;
  // The most bytes the lists may take in a search on `threads` threads.
  // With several, every piece of the top frame that a thread takes over
  // would otherwise deliver the level again from the start (a binary
  // search per transaction) and take its buckets through far, dependent
  // loads on both cores at once: the lists pay for their memory there
  // (measured in bench/NOTES.md).
  static std::size_t mostBytes(int threads) { return threads > 1 ? kMostBytesShared : kMostBytes; }
  bool made = false;
  Buffer<std::uint32_t> start;  // per candidate, and one past the last
  Buffer<ListedOccurrence> entries;
};

struct VerticalBase {
  int rowWords = 0;               // words per row set
  Buffer<std::uint64_t> rowSets;  // slot s at rowSets[s * rowWords]
  const std::uint64_t* rowsOf(std::uint32_t slot) const {
    return rowSets.data() + static_cast<std::size_t>(slot) * static_cast<std::size_t>(rowWords);
  }
};

struct FrameData;
struct SearchConditions;

struct VerticalView {
  const FrameData* baseFrame = nullptr;  // the frame whose base holds the row sets
  Buffer<std::uint32_t> slotOf;          // per candidate: its slot in the base
  Buffer<std::uint32_t> witnessSlots;    // the witnesses' slots
  // The rows that hold the pattern: the words of the base's row space that
  // are not empty, as (word index, word) pairs.
  Buffer<std::uint32_t> activeIndex;
  Buffer<std::uint64_t> activeBits;
};

struct FrameData {
  mutable std::atomic<int> references{0};  // cursors and vertical views that use the frame
  // A vertical frame on an ancestor's row sets: whether it counts in that
  // base's references (see the parallel search).
  mutable std::atomic<bool> holdsBase{false};
  // The counts above change as other threads take and release the frame;
  // what follows is read at every step: a cache line apart.
  alignas(64) bool vertical = false;
  bool top = false;                // the frame of the pattern every string holds
  int support = 0;                 // the pattern's support
  bool maximal = false;            // set by the step that made it when maximality is asked
  Buffer<int> pattern;             // the pattern's edgeIds, ascending
  Buffer<int> edgeOf;              // per candidate: its edgeId (ascending)
  Buffer<int> count;               // per candidate: the strings of P that hold it
  Buffer<std::uint32_t> topIndex;  // per candidate: its number in the top frame
  // Per candidate: set (and never cleared) once an accepted extension is
  // known to hold all of its strings. Read and written through
  // std::atomic_ref when several threads share the frame.
  Buffer<unsigned char> absorbed;
  HorizontalLevel horizontal;
  OccurrenceLists lists;  // the top frame's, when they fit
  VerticalBase base;      // when the frame is the base of a vertical run
  VerticalView view;      // when the frame is vertical

  int candidateCount() const { return static_cast<int>(edgeOf.size()); }
  bool isAbsorbed(int c) const {
    return std::atomic_ref<unsigned char>(const_cast<unsigned char&>(absorbed[c]))
               .load(std::memory_order_relaxed) != 0;
  }
  // Sets the mark unless it is set: a frame that several threads share is
  // written once per candidate, not at every step that finds the candidate
  // absorbed (each write takes the line from the other cores).
  void markAbsorbed(int c) {
    std::atomic_ref<unsigned char> mark(absorbed[c]);
    if (mark.load(std::memory_order_relaxed) == 0) mark.store(1, std::memory_order_relaxed);
  }
};

// Occurrence delivery for a horizontal frame, in one of two ways.
// - From the frame's lists, when it has them: taking a bucket reads its
//   list in a row, and nothing needs to move on.
// - Linked: every transaction waits in the bucket of its current item,
//   linked through its slot, and moves on to its next item's bucket when
//   the loop is done with that one. When the loop reaches candidate c,
//   bucket c holds exactly the transactions with c. This costs a few words
//   per transaction instead of two per item, but each bucket is a chain of
//   dependent loads.
struct DeliverySlot {
  std::size_t position = 0;  // where the transaction's current item stands in the items
  std::size_t end = 0;       // where its items end
  int next = -1;             // the next transaction of the same bucket, -1 when none
  int weight = 0;            // its strings
};

struct Buckets {
  const OccurrenceLists* lists = nullptr;  // the frame's lists, when it has them
  Buffer<int> bucketHead;                  // linked: per candidate, first transaction, -1 when none
  Buffer<DeliverySlot> slots;              // linked: per transaction, all it needs in one place
  int taken = -1;                          // the bucket that takeBucket() took in this step
};

// One worker's way through a range of a frame's candidates.
// Aligned to a cache line: a worker writes its cursor at every step, and
// the memory next to it may be another worker's.
struct alignas(64) Cursor {
  FrameData* frame = nullptr;
  int next = 0;        // the candidate taken next
  int end = 0;         // the candidates before it are this cursor's
  int rangeStart = 0;  // the first candidate of the range; earlier ones belong to another cursor
  // Per candidate: its place among the accepted extensions of this range,
  // -1 if none.
  Buffer<int> acceptedIndex;
  // Per candidate: the first accepted extension of this range that shares
  // at least minSup strings with it, -1 if none.
  Buffer<int> firstColumn;
  Buffer<int> accepted;  // the accepted extensions of this range, in order
  Buckets buckets;       // a horizontal frame's delivery
};

// What every worker of one search reads and nobody changes, at every
// step: on cache lines of its own, away from what its owner writes
// beside it.
struct alignas(64) SearchShared {
  int minSup = 1;
  int threads = 1;  // threads that may share the preparation of the top frame
  FramePolicy policy = FramePolicy::kCheapest;
  bool vectorRows = vectorRowsAvailable();  // vertical steps count with VectorRows
  TopPairs topPairs;
  const std::atomic<bool>* stop = nullptr;       // the run's stop flag, for the top frame's pairs
  const SearchConditions* conditions = nullptr;  // nullptr: every closed pattern is handed over
};

// A worker's working memory, sized by the top frame's candidates (no frame
// has more).
struct SearchScratch {
  const SearchShared* shared = nullptr;
  Buffer<int> countOf;  // per top-frame candidate: a count being summed, 0 otherwise
  // The transactions of the candidate being tried: where each one's items
  // after the candidate begin and end, its weight and its number.
  Buffer<const std::uint32_t*> occurrenceBegin;
  Buffer<const std::uint32_t*> occurrenceEnd;
  Buffer<int> occurrenceWeight;
  Buffer<int> occurrence;
  Buffer<int> childIndex;         // per candidate: its local number in the child being made, -1
  Buffer<int> ownWord;            // per candidate: the word of its witness bit in the child
  Buffer<std::uint64_t> ownMask;  // being made, and the bit (0 when it has none)
  Buffer<int> gathered;           // edgeIds that join the child's pattern
  Buffer<std::uint64_t> words;    // a witness set being intersected or built
  Buffer<std::uint32_t> common;   // earlier candidates all of an extension's strings hold
  Buffer<std::uint32_t> table;    // the merge table of the level being written
  Buffer<std::uint64_t> hashes;   // per transaction of that level
  Buffer<int> bitCount;           // per witness bit: its strings in the level being written
  Buffer<int> keptBit;            // per witness bit: its new number, -1 when dropped
  Buffer<int> rowsFrom;           // per block of an extension's row words: rows from it on

  int minSup() const { return shared->minSup; }
  // Sizes the per-candidate arrays for a top frame of `candidates`.
  bool open(const SearchShared& searchShared, std::size_t candidates);
};

}  // namespace tavrel
