// The records that the phases of a run share. They are plain data: every
// field has the initial value that a new record must start with, and the
// phases read and write the fields directly.
#pragma once

#include <cstdint>

namespace tavrel {

// One record per item number, filled by the first pass.
struct ItemInfo {
  int occurrences = 0;         // times the item occurs in the strings read
  unsigned char frequent = 0;  // 1 when occurrences >= minSup
  int frequentIndex = -1;      // dense index of a frequent item, else -1
};

// One cell per ordered pair (a, b) of frequent items, a standing before b.
// The items that lay between a and b every time they met are kept in the
// pair matrix's between arena: the first window's items from betweenStart
// on, betweenLength of them, of which betweenCount are still live (the
// others are -1). The fields read for every pair of every string come
// first, and the flag fills the padding before the arena offset: 24 bytes
// a cell, so that more of the matrix stays in cache.
struct PairCell {
  int support = 0;       // position pairs at which a stands before b
  int betweenCount = 0;  // live entries of the between list
  std::uint32_t betweenLength = 0;
  unsigned char unseen = 1;  // 1 until the pair is met for the first time
  std::uint64_t betweenStart = 0;
};

// One record per frequent edge: edgeTable[e] describes edge e.
struct EdgeInfo {
  int edgeId = 0;             // its place in edgeTable
  std::int64_t pairCode = 0;  // from item * totalItems + to item
  int support = 0;            // strings that hold the edge
};

}  // namespace tavrel
