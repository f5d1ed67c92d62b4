// The working records of the closed pattern search: one level per open
// pattern, the edge-indexed scratch that all levels share, the row of a
// record, and the making of a child level (its records and its tree).
#pragma once

#include <cstdint>

#include "state/records.h"

namespace tavrel {

// An earlier edge that stays in enough strings of a later record: `count`
// strings of the level hold both. Entries of one record form a list.
struct ColumnEntry {
  int edgeId;
  int count;
  int next;  // index of the record's next entry, -1 at the end
};

// One open pattern of the search and its strings.
struct SearchLevel {
  PrefixTree tree;        // the level's tree: the edge tree, or a projected tree
  bool ownsTree = false;  // projected trees belong to their level
  // Per node of a projected tree: the edges before the level's first edge
  // (outside the pattern) that every string through the node holds, as a
  // set of heldBits bits in heldWords words at heldMasks[k * heldWords].
  // Each bit stands for one such edge; which one does not matter, only
  // whether all of a record's nodes share one. The top level has none.
  int heldBits = 0;
  int heldWords = 0;
  std::uint64_t* heldMasks = nullptr;
  EdgeInfo* records = nullptr;  // one per edge of the tree, ascending edgeId
  // Every node of the tree but the root, by record: the nodes of record j
  // in pre-order are occurrences[records[j].occurrenceHead] and the
  // records[j].occurrenceCount - 1 entries after it. (In the search, a
  // record's occurrenceHead is that position, not a node with links.)
  int* occurrences = nullptr;
  int recordCount = 0;
  bool ownsRecords = false;      // child levels own theirs; the top level's are the caller's
  int maxEdgeId = -1;            // largest edgeId among records that reach minSup
  bool recordsCoverTree = true;  // every node's edge has a record that reaches minSup
  int support = 0;               // the pattern's support
  int* pattern = nullptr;        // the pattern's edgeIds, ascending
  int patternLength = 0;
  int* parentIndex = nullptr;  // each record's index in the level above (child levels)
  int* columnHead = nullptr;   // per record: its first column entry, or -1
  ColumnEntry* columns = nullptr;
  int columnCount = 0;
  int columnCapacity = 0;
  int next = 0;  // the record whose row comes next
};

// A temporary tree with linked children, into which the strings of a child
// level are merged before they are laid out in pre-order. Node 0 is the root.
struct MergeTree {
  int* edgeId = nullptr;
  int* count = nullptr;
  int* firstChild = nullptr;
  int* nextSibling = nullptr;
  int* parent = nullptr;
  int* placedAt = nullptr;  // the node's index in the pre-order array
  int size = 0;
  int capacity = 0;
  std::uint64_t* masks = nullptr;  // held edges per node, `words` words each
  int words = 0;
  std::size_t maskCapacity = 0;  // words allocated in masks
};

// Working memory indexed by edgeId (or bounded by the number of edges),
// shared by all levels and allocated once.
struct SearchScratch {
  int* levelOf = nullptr;     // deepest open level that has a record of the edge, or -1
  int* indexOf = nullptr;     // the edge's record index in that level
  int* countOf = nullptr;     // counts of the row being taken, 0 outside a row
  int* rowRecords = nullptr;  // the row: records with a count, ascending
  int* rowCounts = nullptr;   // and their counts
  int rowLength = 0;
  int* childEdges = nullptr;             // edges of the child level being made
  int* childCounts = nullptr;            // and their supports
  int* gathered = nullptr;               // edges that join the child's pattern
  int* columnBit = nullptr;              // per edge of one record's column: its held bit + 1
  std::uint64_t* heldScratch = nullptr;  // held sets being built or intersected
  int heldScratchWords = 0;
  int* copyOf = nullptr;  // while copying a subtree: the merge node of each of its nodes
  int copyCapacity = 0;
  MergeTree merge;
};

// Allocates the scratch for edgeCount edges. Returns 0 or -1 (reported).
int openScratch(SearchScratch& scratch);
void closeScratch(SearchScratch& scratch);

// Lists the nodes of the level's tree by record (see SearchLevel) for the
// level at `depth`, whose records the scratch's level map points at.
// Returns 0 or -1 (reported).
int listOccurrences(SearchLevel& level, int depth, const SearchScratch& scratch);

// Gives the level an empty column per record. Returns 0 or -1 (reported).
int openColumns(SearchLevel& level);
void releaseColumns(SearchLevel& level);

// Takes the row of record r of `level`: the
// number of strings that hold r's edge together with each later record's,
// left in scratch.rowRecords/rowCounts. Marks every later record that r
// absorbs (count equal to its support) and adds r to the column of every
// other one that it shares at least minSup strings with. Returns 0,
// or -1 after reporting a lack of memory.
int takeRow(SearchLevel& level, int r, SearchScratch& scratch);

// True when some edge held by every string through every node of record r
// (its nodes' held edges) is not in the level's pattern: then the closure of
// the pattern and r's edge holds an edge before the level's first edge.
bool heldByAll(const SearchLevel& level, int r, SearchScratch& scratch);

// Makes `child`, the level of record r of `level` (at `depth`), from r's row
// (just taken) and r's column: its pattern, its records (the later edges
// that reach minSup in r's strings without being in all of them), its tree
// of the strings through r's nodes with the held edges of each node (the
// level's own held edges and the edges of r's column above r's nodes), and
// points the scratch's level map at its records. Returns 0, or -1 after
// reporting a lack of memory.
int openChildLevel(SearchLevel& level, int depth, int r, SearchLevel& child,
                   SearchScratch& scratch);

}  // namespace tavrel
