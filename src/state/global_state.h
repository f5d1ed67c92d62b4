// The process-wide state of one mining run. Each phase fills some of these
// variables and later phases read them; nothing else passes between phases.
// Before the spec file is read every scalar is 0 and every table is absent.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "state/records.h"
#include "transactions/edge_database.h"

namespace tavrel {

// Set by the spec file reader.
extern std::string stringDbFilename;  // line 1 of the spec file, no line end
extern int totalItems;                // item numbers are 0 .. totalItems - 1
extern int maxItemLength;             // most items that one string may hold
extern int stringCount;               // lines read at most; empty pattern's support

// Set by the driver from the command line; at least 1.
extern int minSup;

// Set by the passes.
extern int frequentItemCount;
extern int edgeCount;
extern std::int64_t patternCount;  // patterns written so far; 64 bits, as a run can write billions
extern double runtimeMs;

// Tables, each created by one phase and freed by releaseState().
extern ItemInfo* itemTable;                    // totalItems records
extern int* frequentItems;                     // frequentIndex -> item number
extern PairCell** pairMatrix;                  // frequentItemCount rows of cells
extern EdgeInfo* edgeTable;                    // edgeCount records, record e is edge e
extern std::map<std::int64_t, int> edgeIndex;  // pairCode -> edgeId
extern EdgeDatabase edgeDatabase;              // the edge transactions, merged

// The pairCode of the edge from item `from` to item `to`; 64-bit so that any
// totalItems that fits in an int works.
inline std::int64_t makePairCode(int from, int to) {
  return static_cast<std::int64_t>(from) * totalItems + to;
}
inline int pairCodeFrom(std::int64_t pairCode) { return static_cast<int>(pairCode / totalItems); }
inline int pairCodeTo(std::int64_t pairCode) { return static_cast<int>(pairCode % totalItems); }

}  // namespace tavrel
