#include "search/search_level.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "state/global_state.h"
#include "state/memory.h"
#include "tree/tree_shape.h"

namespace tavrel {

namespace {

// Grows a realloc'ed int array to `capacity` entries.
int growInts(int*& array, int capacity) {
  void* grown = std::realloc(array, sizeof(int) * static_cast<std::size_t>(capacity));
  if (grown == nullptr) return reportOutOfMemory();
  array = static_cast<int*>(grown);
  return 0;
}

int reserveMasks(MergeTree& merge, int words);

int growMergeTree(MergeTree& merge) {
  int capacity = merge.capacity == 0 ? 4096 : merge.capacity * 2;
  for (int** array : {&merge.edgeId, &merge.count, &merge.firstChild, &merge.nextSibling,
                      &merge.parent, &merge.placedAt}) {
    if (growInts(*array, capacity) < 0) return -1;
  }
  merge.capacity = capacity;
  return reserveMasks(merge, merge.words);
}

// Empties the merge tree down to a root of count `rootCount` whose nodes
// carry held sets of `words` words.
int resetMergeTree(MergeTree& merge, int rootCount, int words) {
  if (merge.capacity == 0 && growMergeTree(merge) < 0) return -1;
  merge.words = words;
  if (reserveMasks(merge, words) < 0) return -1;
  merge.edgeId[0] = -1;
  merge.count[0] = rootCount;
  merge.firstChild[0] = merge.nextSibling[0] = merge.parent[0] = -1;
  std::fill(merge.masks, merge.masks + words, 0);
  merge.size = 1;
  return 0;
}

// The child of merge node `parent` for `edgeId`, made when missing (count
// 0) and linked in at its ascending place. -1 on a lack of memory.
int mergeChild(MergeTree& merge, int parent, int edgeId) {
  int before = -1;
  int child = merge.firstChild[parent];
  while (child >= 0 && merge.edgeId[child] < edgeId) {
    before = child;
    child = merge.nextSibling[child];
  }
  if (child >= 0 && merge.edgeId[child] == edgeId) return child;
  if (merge.size == merge.capacity && growMergeTree(merge) < 0) return -1;
  int node = merge.size++;
  merge.edgeId[node] = edgeId;
  merge.count[node] = 0;
  merge.firstChild[node] = -1;
  merge.parent[node] = parent;
  merge.nextSibling[node] = child;
  if (before < 0) {
    merge.firstChild[parent] = node;
  } else {
    merge.nextSibling[before] = node;
  }
  return node;
}

// Grows the merge tree's masks to `words` words for each of its nodes.
int reserveMasks(MergeTree& merge, int words) {
  std::size_t needed = static_cast<std::size_t>(merge.capacity) * static_cast<std::size_t>(words);
  if (needed > merge.maskCapacity) {
    void* grown = std::realloc(merge.masks, sizeof(std::uint64_t) * needed);
    if (grown == nullptr) return reportOutOfMemory();
    merge.masks = static_cast<std::uint64_t*>(grown);
    merge.maskCapacity = needed;
  }
  return 0;
}

// Adds `strings` strings to merge node `node`, each holding the edges of
// `own` (`ownWords` words of the level's held set) and of `above` (`words`
// words): a new node keeps them, a node that has strings already keeps
// only those that all of its strings hold.
void addStrings(MergeTree& merge, int node, int strings, const std::uint64_t* own, int ownWords,
                const std::uint64_t* above) {
  int words = merge.words;
  std::uint64_t* mask = merge.masks + static_cast<std::size_t>(node) * words;
  if (merge.count[node] == 0) {
    for (int w = 0; w < words; ++w) mask[w] = above[w] | (w < ownWords ? own[w] : 0);
  } else {
    for (int w = 0; w < words; ++w) mask[w] &= above[w] | (w < ownWords ? own[w] : 0);
  }
  merge.count[node] += strings;
}

// The held set of node k of the level's tree (level.heldWords words).
const std::uint64_t* heldOf(const SearchLevel& level, int k) {
  return level.heldMasks + static_cast<std::size_t>(k) * level.heldWords;
}

// The nodes of one record lie far apart in the tree's arrays: while one is
// worked on, the data of the one this many places further down the list is
// fetched. (The prefetches stand in the loops themselves: in a function of
// their own, GCC takes them for a call without effect and drops it.)
constexpr int kPrefetchDistance = 8;

// Makes room for the merge nodes of `count` nodes of a subtree.
int reserveCopies(SearchScratch& scratch, int count) {
  if (count <= scratch.copyCapacity) return 0;
  int capacity = std::max(count, 2 * scratch.copyCapacity);
  void* grown = std::realloc(scratch.copyOf, sizeof(int) * static_cast<std::size_t>(capacity));
  if (grown == nullptr) return reportOutOfMemory();
  scratch.copyOf = static_cast<int*>(grown);
  scratch.copyCapacity = capacity;
  return 0;
}

// Merges the strings through `node` (a node of record r's edge in the
// level's tree) into the merge tree: each node of the child's edges below
// it, with its strings and their held edges, which are the node's own held
// edges and `above` (the edges of r's column above `node`). Edges beyond
// maxBelow are not the child's.
int mergeStrings(int node, const SearchLevel& level, int childDepth, int maxBelow,
                 const std::uint64_t* above, SearchScratch& scratch) {
  MergeTree& merge = scratch.merge;
  const PrefixTree& tree = level.tree;
  int end = subtreeEnd(tree, node);
  if (reserveCopies(scratch, end - node) < 0) return -1;
  // copyOf[k - node]: the merge node that the strings through node k go to.
  int* copyOf = scratch.copyOf - node;
  copyOf[node] = 0;
  for (int below = node + 1; below < end;) {
    int id = tree.nodes[below].edgeId;
    if (id > maxBelow) {  // and so is everything under it
      below = subtreeEnd(tree, below);
      continue;
    }
    int copy = copyOf[tree.parent[below]];
    if (scratch.levelOf[id] == childDepth) {
      copy = mergeChild(merge, copy, id);
      if (copy < 0) return -1;
      addStrings(merge, copy, tree.nodes[below].count, heldOf(level, below), level.heldWords,
                 above);
    }
    copyOf[below] = copy;
    ++below;
  }
  return 0;
}

// Lays the merge tree out in pre-order as the child's tree, with its held
// edges.
int placeMergeTree(MergeTree& merge, SearchLevel& child) {
  std::size_t words = static_cast<std::size_t>(merge.words);
  PrefixTree& tree = child.tree;
  child.ownsTree = true;
  child.heldWords = merge.words;
  child.heldMasks = newArray<std::uint64_t>(static_cast<std::size_t>(merge.size) * words);
  if (child.heldMasks == nullptr || allocatePrefixTree(&tree, merge.size, false) < 0) return -1;
  int placed = 0;
  int node = 0;
  for (;;) {
    int k = placed++;
    merge.placedAt[node] = k;
    tree.nodes[k].edgeId = merge.edgeId[node];
    tree.nodes[k].count = merge.count[node];
    tree.parent[k] = node == 0 ? -1 : merge.placedAt[merge.parent[node]];
    const std::uint64_t* mask = merge.masks + static_cast<std::size_t>(node) * words;
    std::copy(mask, mask + words, child.heldMasks + static_cast<std::size_t>(k) * words);
    if (merge.firstChild[node] >= 0) {
      node = merge.firstChild[node];
      continue;
    }
    // Close the subtrees that end here and go on with the next sibling.
    while (node != 0 && merge.nextSibling[node] < 0) {
      tree.subtreeSize[merge.placedAt[node]] = placed - merge.placedAt[node] - 1;
      node = merge.parent[node];
    }
    tree.subtreeSize[merge.placedAt[node]] = placed - merge.placedAt[node] - 1;
    if (node == 0) break;
    node = merge.nextSibling[node];
  }
  return 0;
}

int addColumnEntry(SearchLevel& level, int g, int edgeId, int count) {
  if (level.columnCount == level.columnCapacity) {
    int capacity = level.columnCapacity == 0 ? 256 : level.columnCapacity * 2;
    void* grown =
        std::realloc(level.columns, sizeof(ColumnEntry) * static_cast<std::size_t>(capacity));
    if (grown == nullptr) return reportOutOfMemory();
    level.columns = static_cast<ColumnEntry*>(grown);
    level.columnCapacity = capacity;
  }
  level.columns[level.columnCount] = ColumnEntry{edgeId, count, level.columnHead[g]};
  level.columnHead[g] = level.columnCount++;
  return 0;
}

// Makes the scratch's held sets at least `words` words long.
int reserveHeldScratch(SearchScratch& scratch, int words) {
  if (words <= scratch.heldScratchWords) return 0;
  void* grown =
      std::realloc(scratch.heldScratch, sizeof(std::uint64_t) * static_cast<std::size_t>(words));
  if (grown == nullptr) return reportOutOfMemory();
  scratch.heldScratch = static_cast<std::uint64_t*>(grown);
  scratch.heldScratchWords = words;
  return 0;
}

// Drops the bits that no node of the merge tree holds any more, when that
// saves whole words: intersections only ever clear bits, so without this
// the numbering would grow from level to level. Returns 0 or -1 (memory).
int compactHeldBits(MergeTree& merge, SearchLevel& child, SearchScratch& scratch) {
  int words = merge.words;
  std::size_t size = static_cast<std::size_t>(merge.size);
  if (reserveHeldScratch(scratch, 2 * words) < 0) return -1;
  std::uint64_t* used = scratch.heldScratch;
  std::uint64_t* packed = scratch.heldScratch + words;
  int live = 0;
  for (int w = 0; w < words; ++w) {
    used[w] = 0;
    for (std::size_t k = 1; k < size; ++k) used[w] |= merge.masks[k * words + w];
    live += __builtin_popcountll(used[w]);
  }
  int liveWords = (live + 63) / 64;
  if (liveWords == words) return 0;
  // The live bits keep their order and are numbered from 0. Node k's new
  // set goes where no later node's old set lies.
  for (std::size_t k = 0; k < size; ++k) {
    const std::uint64_t* mask = merge.masks + k * words;
    std::fill(packed, packed + liveWords, 0);
    int next = 0;
    for (int w = 0; w < words; ++w) {
      for (std::uint64_t rest = used[w]; rest != 0; rest &= rest - 1) {
        int bit = __builtin_ctzll(rest);
        if ((mask[w] >> bit) & 1) packed[next / 64] |= std::uint64_t{1} << (next % 64);
        ++next;
      }
    }
    std::copy(packed, packed + liveWords, merge.masks + k * liveWords);
  }
  merge.words = liveWords;
  child.heldBits = live;
  return 0;
}

}  // namespace

int openScratch(SearchScratch& scratch) {
  std::size_t edges = static_cast<std::size_t>(edgeCount);
  for (int** array : {&scratch.levelOf, &scratch.indexOf, &scratch.countOf, &scratch.rowRecords,
                      &scratch.rowCounts, &scratch.childEdges, &scratch.childCounts,
                      &scratch.gathered, &scratch.columnBit}) {
    *array = newArray<int>(edges);
    if (*array == nullptr) return -1;
  }
  std::fill(scratch.levelOf, scratch.levelOf + edges, -1);
  return 0;
}

void closeScratch(SearchScratch& scratch) {
  for (int* array :
       {scratch.levelOf, scratch.indexOf, scratch.countOf, scratch.rowRecords, scratch.rowCounts,
        scratch.childEdges, scratch.childCounts, scratch.gathered, scratch.columnBit}) {
    deleteArray(array);
  }
  std::free(scratch.heldScratch);
  std::free(scratch.copyOf);
  MergeTree& merge = scratch.merge;
  for (int* array : {merge.edgeId, merge.count, merge.firstChild, merge.nextSibling, merge.parent,
                     merge.placedAt}) {
    std::free(array);
  }
  std::free(merge.masks);
  scratch = SearchScratch{};
}

int listOccurrences(SearchLevel& level, int depth, const SearchScratch& scratch) {
  const PrefixTree& tree = level.tree;
  for (int j = 0; j < level.recordCount; ++j) level.records[j].occurrenceCount = 0;
  for (int k = 1; k < tree.nodeCount; ++k) {
    int id = tree.nodes[k].edgeId;
    if (scratch.levelOf[id] == depth) ++level.records[scratch.indexOf[id]].occurrenceCount;
  }
  int total = 0;
  for (int j = 0; j < level.recordCount; ++j) {
    level.records[j].occurrenceHead = total;
    total += level.records[j].occurrenceCount;
    level.records[j].occurrenceCount = 0;
  }
  level.occurrences = newArray<int>(static_cast<std::size_t>(total));
  if (level.occurrences == nullptr) return -1;
  for (int k = 1; k < tree.nodeCount; ++k) {
    int id = tree.nodes[k].edgeId;
    if (scratch.levelOf[id] != depth) continue;
    EdgeInfo& record = level.records[scratch.indexOf[id]];
    level.occurrences[record.occurrenceHead + record.occurrenceCount++] = k;
  }
  return 0;
}

int openColumns(SearchLevel& level) {
  level.columnHead = newArray<int>(static_cast<std::size_t>(level.recordCount));
  if (level.columnHead == nullptr) return -1;
  std::fill(level.columnHead, level.columnHead + level.recordCount, -1);
  return 0;
}

void releaseColumns(SearchLevel& level) {
  deleteArray(level.columnHead);
  std::free(level.columns);
  level.columnHead = nullptr;
  level.columns = nullptr;
  level.columnCount = level.columnCapacity = 0;
}

int takeRow(SearchLevel& level, int r, SearchScratch& scratch) {
  int* countOf = scratch.countOf;
  const PrefixTree& tree = level.tree;
  const TreeNode* nodes = tree.nodes;
  int maxEdgeId = level.maxEdgeId;
  const EdgeInfo& record = level.records[r];
  const int* occurrences = level.occurrences + record.occurrenceHead;
  for (int k = 0; k < record.occurrenceCount; ++k) {
    if (k + kPrefetchDistance < record.occurrenceCount) {
      int ahead = occurrences[k + kPrefetchDistance];
      __builtin_prefetch(&tree.subtreeSize[ahead]);
      __builtin_prefetch(&nodes[ahead + 1]);
    }
    int node = occurrences[k];
    int end = subtreeEnd(tree, node);
    if (level.recordsCoverTree) {
      for (int below = node + 1; below < end; ++below) {
        countOf[nodes[below].edgeId] += nodes[below].count;
      }
      continue;
    }
    for (int below = node + 1; below < end;) {
      int id = nodes[below].edgeId;
      if (id > maxEdgeId) {  // and so is everything under it
        below = subtreeEnd(tree, below);
        continue;
      }
      countOf[id] += nodes[below].count;
      ++below;
    }
  }
  // Every node below r's nodes has a record after r in this level.
  int length = 0;
  for (int g = r + 1; g < level.recordCount; ++g) {
    int id = level.records[g].edgeId;
    if (countOf[id] == 0) continue;
    scratch.rowRecords[length] = g;
    scratch.rowCounts[length] = countOf[id];
    countOf[id] = 0;
    ++length;
  }
  scratch.rowLength = length;
  int edgeId = level.records[r].edgeId;
  for (int k = 0; k < length; ++k) {
    int g = scratch.rowRecords[k];
    int count = scratch.rowCounts[k];
    EdgeInfo& later = level.records[g];
    if (count < minSup || later.absorbed) continue;
    if (count == later.support) {
      later.absorbed = 1;
    } else if (addColumnEntry(level, g, edgeId, count) < 0) {
      return -1;
    }
  }
  return 0;
}

bool heldByAll(const SearchLevel& level, int r, SearchScratch& scratch) {
  int words = level.heldWords;
  const EdgeInfo& record = level.records[r];
  if (words == 0 || record.occurrenceCount == 0) return false;
  const int* occurrences = level.occurrences + record.occurrenceHead;
  std::uint64_t* common = scratch.heldScratch;
  const std::uint64_t* first = heldOf(level, occurrences[0]);
  std::uint64_t any = 0;
  for (int w = 0; w < words; ++w) any |= common[w] = first[w];
  for (int k = 1; k < record.occurrenceCount && any != 0; ++k) {
    const std::uint64_t* mask = heldOf(level, occurrences[k]);
    any = 0;
    for (int w = 0; w < words; ++w) any |= common[w] &= mask[w];
  }
  return any != 0;
}

int openChildLevel(SearchLevel& level, int depth, int r, SearchLevel& child,
                   SearchScratch& scratch) {
  const EdgeInfo& record = level.records[r];
  int support = record.support;
  int* edges = scratch.childEdges;

  // The later edges, from r's row: those that all of r's strings hold join
  // the pattern; the others that reach minSup are the child's records.
  int count = 0;
  int gatheredCount = 0;
  for (int k = 0; k < scratch.rowLength; ++k) {
    int rowCount = scratch.rowCounts[k];
    if (rowCount < minSup) continue;
    int id = level.records[scratch.rowRecords[k]].edgeId;
    if (rowCount == support) {
      scratch.gathered[gatheredCount++] = id;
    } else {
      edges[count] = id;
      scratch.childCounts[count] = rowCount;
      ++count;
    }
  }

  child.support = support;
  child.pattern = newArray<int>(static_cast<std::size_t>(level.patternLength + 1 + gatheredCount));
  child.records = newArray<EdgeInfo>(static_cast<std::size_t>(count));
  child.parentIndex = newArray<int>(static_cast<std::size_t>(count));
  child.ownsRecords = true;
  if (child.pattern == nullptr || child.records == nullptr || child.parentIndex == nullptr) {
    return -1;
  }
  child.recordCount = count;
  int* pattern = child.pattern;
  std::copy(level.pattern, level.pattern + level.patternLength, pattern);
  int length = level.patternLength;
  pattern[length++] = record.edgeId;
  std::copy(scratch.gathered, scratch.gathered + gatheredCount, pattern + length);
  length += gatheredCount;
  std::sort(pattern, pattern + length);
  child.patternLength = length;

  for (int j = 0; j < count; ++j) {
    int id = edges[j];
    int parent = scratch.indexOf[id];
    EdgeInfo& copy = child.records[j];
    copy.edgeId = id;
    copy.pairCode = level.records[parent].pairCode;
    copy.support = scratch.childCounts[j];
    child.parentIndex[j] = parent;
    scratch.levelOf[id] = depth + 1;
    scratch.indexOf[id] = j;
  }
  child.maxEdgeId = count > 0 ? edges[count - 1] : -1;
  if (openColumns(child) < 0) return -1;
  if (count == 0) return 0;  // nothing left to extend: the level needs no tree

  // The held edges of the child: the level's own, with their bits, and the
  // edges of r's column (the earlier edges of the level that stay in enough
  // of r's strings), numbered after them. Above each of r's nodes, the
  // column edges on its path are held by all of its strings.
  int bits = level.heldBits;
  int minAbove = INT_MAX;
  for (int entry = level.columnHead[r]; entry >= 0; entry = level.columns[entry].next) {
    int id = level.columns[entry].edgeId;
    scratch.columnBit[id] = ++bits;
    minAbove = std::min(minAbove, id);
  }
  int words = (bits + 63) / 64;
  child.heldBits = bits;
  if (resetMergeTree(scratch.merge, support, words) < 0 || reserveHeldScratch(scratch, words) < 0) {
    return -1;
  }
  std::uint64_t* above = scratch.heldScratch;
  int maxBelow = child.maxEdgeId;
  const PrefixTree& tree = level.tree;
  int status = 0;
  const int* occurrences = level.occurrences + record.occurrenceHead;
  for (int k = 0; k < record.occurrenceCount && status == 0; ++k) {
    if (k + kPrefetchDistance < record.occurrenceCount) {
      int ahead = occurrences[k + kPrefetchDistance];
      __builtin_prefetch(&tree.parent[ahead]);
      __builtin_prefetch(&tree.subtreeSize[ahead]);
      __builtin_prefetch(&tree.nodes[ahead + 1]);
    }
    int node = occurrences[k];
    std::fill(above, above + words, 0);
    for (int up = tree.parent[node]; up > 0 && tree.nodes[up].edgeId >= minAbove;
         up = tree.parent[up]) {
      int bit = scratch.columnBit[tree.nodes[up].edgeId] - 1;
      if (bit >= 0) above[bit / 64] |= std::uint64_t{1} << (bit % 64);
    }
    status = mergeStrings(node, level, depth + 1, maxBelow, above, scratch);
  }
  for (int entry = level.columnHead[r]; entry >= 0; entry = level.columns[entry].next) {
    scratch.columnBit[level.columns[entry].edgeId] = 0;
  }
  if (status < 0 || compactHeldBits(scratch.merge, child, scratch) < 0 ||
      placeMergeTree(scratch.merge, child) < 0) {
    return -1;
  }
  return listOccurrences(child, depth + 1, scratch);
}

}  // namespace tavrel
