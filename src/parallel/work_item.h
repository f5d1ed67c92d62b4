// The pieces of work of a parallel search and their geometry: where an
// item stands in output order, which of its ranges can be cut, and where a
// piece close behind its current work starts. Pure functions of the items'
// cursors: they change nothing and take no lock.
#pragma once

#include <cstddef>
#include <vector>

#include "base/buffer.h"
#include "search/search_frame.h"

namespace tavrel::parallel {

class Chunk;

// One level of a work item: a frame, the item's cursor over a range of its
// candidates, and the chunk the item writes in once done with that range
// (set when part of the range was given away).
struct ItemLevel {
  FrameData* frame = nullptr;
  Cursor* cursor = nullptr;
  Chunk* continuation = nullptr;
};

// A piece of work: a range of one frame's candidates, taken in order, each
// with the subtree below it; the frames it opens below stand on its levels.
// On cache lines of its own: written at every pattern by the worker that
// runs it, which need not be the one from whose heap it came.
struct alignas(64) WorkItem {
  std::vector<int> prefix;  // the steps above the item's first level
  std::vector<ItemLevel> levels;
  Chunk* chunk = nullptr;
  // Patterns found but not yet in the chunk, as records (pattern_records.h),
  // and when they were last handed to it (coarse milliseconds).
  Buffer<int> pending;
  long long handedAt = 0;
  bool parked = false;
  bool near = false;            // cut off the head's work, close behind it (see nearLevel())
  bool tooFar = false;          // put aside as a near piece whose patterns waited too long
  std::size_t handedBytes = 0;  // patterns handed to chunks that were not direct
  double began = 0;
  double ran = 0;  // when a worker took it last
  long long patterns = 0;

  // Where the item stands in output order, a sequence compared
  // lexicographically: the steps of the prefix, the step taken at each
  // level above the deepest, and the candidate the deepest takes next.
  std::size_t keyLength() const { return prefix.size() + levels.size(); }
  int keyAt(std::size_t k) const {
    if (k < prefix.size()) return prefix[k];
    k -= prefix.size();
    int next = levels[k].cursor->next;
    return k + 1 < levels.size() ? next - 1 : next;
  }
};

// Adds a level to the item; false when memory ran out (the item is left
// as it was).
bool pushLevel(WorkItem& item, const ItemLevel& level);

// Gives `thief` the steps above level `chosen` of `item` as its prefix,
// and room for its one level. False when memory ran out.
bool takePrefix(WorkItem& thief, const WorkItem& item, std::size_t chosen);

// The order of the queue's heap: true when `b` comes before `a` in the
// output. Allocates nothing, so a heap operation cannot fail half-way.
bool later(const WorkItem* a, const WorkItem* b);

// The item's shallowest level, which holds the most work, whose untaken
// range holds two candidates or more; levels.size() when there is none.
std::size_t splittableLevel(const WorkItem& item);

// Where a piece close behind the item's current work starts in level
// `at`'s range: right after the candidate whose subtree the item is in,
// or, at the deepest level, after the candidate it takes next. -1 when
// nothing of the range would be left to cut off.
int nearStart(const WorkItem& item, std::size_t at);

// The level from which to cut a piece close behind the item's current
// work: the one `height` levels above the deepest, or the closest one
// above it that has something to cut off, else below it;
// levels.size() when there is none. The piece's patterns follow the
// subtree the item is in at that level: the deeper the level, the sooner
// they come, and the smaller the piece.
std::size_t nearLevel(const WorkItem& item, int height);

}  // namespace tavrel::parallel
