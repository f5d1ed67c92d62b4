// The state of one mining run. Each phase fills some of these fields and
// later phases read them; nothing else passes between phases, and nothing
// is shared between runs. Every table frees itself with the run.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "base/buffer.h"
#include "base/report.h"
#include "state/edge_database.h"
#include "state/records.h"

namespace tavrel {

// The second pass's counts for every ordered pair of frequent items.
struct PairMatrix {
  int size = 0;            // frequent items: the matrix is size x size
  Buffer<PairCell> cells;  // row a, column b at a * size + b
  Buffer<int> between;     // the between lists of all cells
  // Where each frequent item stands in the string being handled: valid
  // when stampOf[f] equals currentStamp.
  Buffer<int> positionOf;
  Buffer<unsigned> stampOf;
  unsigned currentStamp = 0;

  PairCell& at(int a, int b) {
    return cells[static_cast<std::size_t>(a) * static_cast<std::size_t>(size) +
                 static_cast<std::size_t>(b)];
  }
  const PairCell& at(int a, int b) const {
    return cells[static_cast<std::size_t>(a) * static_cast<std::size_t>(size) +
                 static_cast<std::size_t>(b)];
  }
};

struct RunState {
  // The strings' sizes: from the spec file, or from the strings in memory.
  std::string stringDbFilename;  // line 1 of the spec file, no line end
  int totalItems = 0;            // item numbers are 0 .. totalItems - 1
  int maxItemLength = 0;         // most items that one string may hold
  int stringCount = 0;           // strings read at most; the empty pattern's support
  int stringsRead = 0;           // strings the first pass read (at most stringCount)

  int minSup = 0;            // at least 1
  SupportShare minSupShare;  // when given, sets minSup once the strings are counted
  int threads = 1;           // threads the passes may use

  // Set by the passes.
  int frequentItemCount = 0;
  int edgeCount = 0;
  Buffer<ItemInfo> itemTable;             // totalItems records
  Buffer<int> frequentItems;              // frequentIndex -> item number
  PairMatrix pairMatrix;                  // frequentItemCount x frequentItemCount cells
  Buffer<EdgeInfo> edgeTable;             // edgeCount records, record e is edge e
  std::map<std::int64_t, int> edgeIndex;  // pairCode -> edgeId
  EdgeDatabase edgeDatabase;              // the edge transactions, merged

  Report report;  // what went wrong, in order

  // The pairCode of the edge from item `from` to item `to`; 64-bit so that
  // any totalItems that fits in an int works.
  std::int64_t makePairCode(int from, int to) const {
    return static_cast<std::int64_t>(from) * totalItems + to;
  }
  int pairCodeFrom(std::int64_t pairCode) const { return static_cast<int>(pairCode / totalItems); }
  int pairCodeTo(std::int64_t pairCode) const { return static_cast<int>(pairCode % totalItems); }
};

}  // namespace tavrel
