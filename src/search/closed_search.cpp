#include "search/closed_search.h"

#include <algorithm>
#include <cstdlib>

#include "search/pattern_report.h"
#include "search/search_level.h"
#include "state/console.h"
#include "state/global_state.h"
#include "state/memory.h"
#include "tree/tree_shape.h"

namespace tavrel {

// How the search works.
//
// Each level of the search stands for one closed pattern P with support s.
// It holds the strings that hold P as a prefix tree of their edges (the
// level's tree): at the top level the tree of all strings, below it a tree
// made for the level from the strings of the level above. A level's array
// has one record per edge of its tree, in ascending edgeId, whose
// occurrence chain holds every node of that edge in the tree and whose
// support is the number of the level's strings that hold the edge. A
// projected tree holds only the edges after the edge added last that fewer
// than s but at least minSup of its strings hold: other edges can neither
// extend P nor keep an extension from being closed, except the earlier
// edges, which each node keeps as its held set (the earlier edges that all
// of its strings hold).
//
// The level takes its records in ascending edgeId. A record f is an
// extension unless an earlier record has absorbed it or its nodes hold a
// common earlier edge; then the closure of P + f holds no edge before f
// outside P, so it is a closed pattern that the search reaches here for the
// first and only time. For an extension the level counts, below every node
// of f, how many strings hold f together with each later edge g (the row of
// f). When the count equals g's support, every string that holds P and g
// also holds f, so the closure of P + g holds the earlier edge f: g is
// marked absorbed. When the count reaches minSup, f stays in enough of g's
// strings to matter there, which g's column remembers.
//
// Records that are not extensions need no row: whatever such a record m
// would absorb, the record that absorbed m, or the earlier edge that all of
// m's strings hold, covers as well, and the same goes for what m would add
// to a column.
//
// The closure P' of P + f is P, f and the later edges whose count in f's
// row equals f's support; it is written at once and gets a level of its
// own, whose tree holds the strings through f's nodes with the edges of f's
// row that reach minSup and stay below f's support, and whose held sets add
// the edges of f's column above each of f's nodes. The search goes into
// that level before it takes the next record.
//
// This finds the closed patterns in the same order, with the same edges and
// supports, as extending each pattern edge by edge over the full tree and
// testing each extension's closure there: the extensions of a pattern in
// ascending edgeId, each written before everything found below it.

namespace {

// The levels of the search, deepest last.
struct LevelStack {
  SearchLevel* levels = nullptr;
  int size = 0;
  int capacity = 0;
};

int pushLevel(LevelStack& stack) {
  if (stack.size == stack.capacity) {
    int capacity = stack.capacity == 0 ? 64 : stack.capacity * 2;
    void* grown =
        std::realloc(stack.levels, sizeof(SearchLevel) * static_cast<std::size_t>(capacity));
    if (grown == nullptr) return reportOutOfMemory();
    stack.levels = static_cast<SearchLevel*>(grown);
    stack.capacity = capacity;
  }
  stack.levels[stack.size++] = SearchLevel{};
  return 0;
}

// Frees a level's own arrays and tree; the edges it held are found in the
// level above again.
void closeLevel(SearchLevel& level, int depth, SearchScratch& scratch) {
  if (level.parentIndex != nullptr) {
    for (int j = 0; j < level.recordCount; ++j) {
      int edgeId = level.records[j].edgeId;
      scratch.levelOf[edgeId] = depth - 1;
      scratch.indexOf[edgeId] = level.parentIndex[j];
    }
  }
  if (level.ownsRecords) deleteArray(level.records);
  if (level.ownsTree) freePrefixTree(&level.tree);
  deleteArray(level.heldMasks);
  deleteArray(level.parentIndex);
  deleteArray(level.occurrences);
  deleteArray(level.pattern);
  releaseColumns(level);
  level = SearchLevel{};
}

void releaseLevels(LevelStack& stack, SearchScratch& scratch) {
  while (stack.size > 0) {
    closeLevel(stack.levels[stack.size - 1], stack.size - 1, scratch);
    --stack.size;
  }
  std::free(stack.levels);
}

// The top level: the full tree, every record of `projected` that reaches
// minSup, and the pattern of the prefix and the edges of every string.
int openTopLevel(SearchLevel& top, EdgeInfo* projected, int base, int parentSupport,
                 const int* prefix, int prefixLength, SearchScratch& scratch) {
  top.tree = edgeTree;
  top.records = projected;
  top.recordCount = edgeCount - base;
  top.support = parentSupport;
  int gathered = 0;
  bool allFrequent = true;
  for (int k = 0; k < top.recordCount; ++k) {
    EdgeInfo& record = projected[k];
    record.absorbed = 0;
    if (record.support == parentSupport) ++gathered;
    if (record.support < minSup) {
      allFrequent = false;
      continue;
    }
    scratch.levelOf[base + k] = 0;
    scratch.indexOf[base + k] = k;
    top.maxEdgeId = base + k;
  }
  top.recordsCoverTree = base == 0 && allFrequent;
  if (listOccurrences(top, 0, scratch) < 0) return -1;
  top.pattern = newArray<int>(static_cast<std::size_t>(prefixLength + gathered));
  if (top.pattern == nullptr || openColumns(top) < 0) return -1;
  std::copy(prefix, prefix + prefixLength, top.pattern);
  top.patternLength = prefixLength;
  for (int k = 0; k < top.recordCount; ++k) {
    if (projected[k].support == parentSupport) top.pattern[top.patternLength++] = base + k;
  }
  std::sort(top.pattern, top.pattern + top.patternLength);
  top.patternLength =
      static_cast<int>(std::unique(top.pattern, top.pattern + top.patternLength) - top.pattern);
  if (top.patternLength > 0) {
    reportPattern(top.pattern, top.patternLength, parentSupport);
    if (outputFailed()) return -1;
  }
  return 0;
}

// The search proper, with every open level on an explicit stack.
int runSearch(EdgeInfo* projected, int base, int parentSupport, const int* prefix, int prefixLength,
              SearchScratch& scratch) {
  LevelStack stack;
  if (pushLevel(stack) < 0) return -1;
  if (edgeTree.nodeCount == 0 || openTopLevel(stack.levels[0], projected, base, parentSupport,
                                              prefix, prefixLength, scratch) < 0) {
    releaseLevels(stack, scratch);
    return edgeTree.nodeCount == 0 ? 0 : -1;
  }
  while (stack.size > 0) {
    int depth = stack.size - 1;
    bool descended = false;
    while (stack.levels[depth].next < stack.levels[depth].recordCount) {
      SearchLevel& level = stack.levels[depth];
      int r = level.next++;
      const EdgeInfo& record = level.records[r];
      // Edges of the pattern and edges below minSup take no part, and the
      // closure of the pattern with an absorbed record or one whose nodes
      // hold a common earlier edge holds an edge before it.
      if (record.support < minSup || record.support >= level.support || record.absorbed ||
          heldByAll(level, r, scratch)) {
        continue;
      }
      if (takeRow(level, r, scratch) < 0) {
        releaseLevels(stack, scratch);
        return -1;
      }
      int status = pushLevel(stack);
      if (status == 0) {
        status = openChildLevel(stack.levels[depth], depth, r, stack.levels[depth + 1], scratch);
      }
      if (status == 0) {
        const SearchLevel& child = stack.levels[depth + 1];
        reportPattern(child.pattern, child.patternLength, child.support);
        if (outputFailed()) status = -1;
      }
      if (status < 0) {
        releaseLevels(stack, scratch);
        return -1;
      }
      descended = true;
      break;
    }
    if (!descended) {
      closeLevel(stack.levels[depth], depth, scratch);
      --stack.size;
    }
  }
  std::free(stack.levels);
  return 0;
}

}  // namespace

int searchClosed(EdgeInfo* projected, int base, int parentSupport, const int* prefix,
                 int prefixLength) {
  SearchScratch scratch;
  int status = openScratch(scratch) < 0
                   ? -1
                   : runSearch(projected, base, parentSupport, prefix, prefixLength, scratch);
  closeScratch(scratch);
  return status;
}

}  // namespace tavrel
