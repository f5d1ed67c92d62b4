#include "search/closed_search.h"

#include <algorithm>
#include <cstdlib>

#include "search/pattern_report.h"
#include "state/console.h"
#include "state/global_state.h"
#include "state/memory.h"
#include "tree/projection.h"

namespace tavrel {

// How the search keeps its arrays small. A record whose support is below
// minSup takes no part in a search call: it is never gathered (supports that
// are gathered are at least minSup), never tried, never pushed down, never
// linked into, and a mark of absorption on it is never read. So a child
// array holds only the edges that reach minSup below the extension's
// occurrences, in ascending edgeId; the others are left out rather than kept
// with their low supports. Every decision, every chain and every written
// pattern is the same as with arrays that cover every later edge.
//
// To find an edge's record in the sparse array of an open level, each edge
// has a level and an index (levelOf, indexOf): the deepest open level whose
// array holds it, and its index there. A child array holds a subset of its
// parent's edges, so entering a level overwrites the map for its edges and
// leaving it restores their indices in the parent.

namespace {

// One open level of the search: a prefix pattern and its projected array.
struct SearchFrame {
  EdgeInfo* projected;
  int n;          // records in projected
  int maxEdgeId;  // largest edgeId with a record of support >= minSup
  int parentSupport;
  int* pattern;  // gathered entries, then one slot for the extension edge
  int entryCount;
  int slotCount;
  int insertPosition;
  bool extensionInserted;
  int next;           // index of the record the loop works on
  EdgeInfo* child;    // child array of that record while its branch runs
  int* childParents;  // for each child record, its edge's index in projected
  int childCount;
};

// Edge-indexed working memory shared by all levels, allocated once.
struct Scratch {
  int* levelOf = nullptr;       // deepest open level holding the edge, or -1
  int* indexOf = nullptr;       // the edge's index in that level's array
  int* supportOf = nullptr;     // supports of the extension being projected
  TreeNode** headOf = nullptr;  // its occurrence chains
  int* chainCountOf = nullptr;
  int* touched = nullptr;        // edges whose supportOf is not 0
  int* frequent = nullptr;       // edges whose supportOf reaches minSup
  int* ancestorCount = nullptr;  // closure test counters
  int* candidates = nullptr;     // edges whose ancestorCount is not 0
};

struct FrameStack {
  SearchFrame* frames = nullptr;
  int size = 0;
  int capacity = 0;
};

int allocateScratch(Scratch& scratch) {
  std::size_t edges = static_cast<std::size_t>(edgeCount);
  scratch.levelOf = newArray<int>(edges);
  scratch.indexOf = newArray<int>(edges);
  scratch.supportOf = newArray<int>(edges);
  scratch.headOf = newArray<TreeNode*>(edges);
  scratch.chainCountOf = newArray<int>(edges);
  scratch.touched = newArray<int>(edges);
  scratch.frequent = newArray<int>(edges);
  scratch.ancestorCount = newArray<int>(edges);
  scratch.candidates = newArray<int>(edges);
  if (scratch.levelOf == nullptr || scratch.indexOf == nullptr || scratch.supportOf == nullptr ||
      scratch.headOf == nullptr || scratch.chainCountOf == nullptr || scratch.touched == nullptr ||
      scratch.frequent == nullptr || scratch.ancestorCount == nullptr ||
      scratch.candidates == nullptr) {
    return -1;
  }
  std::fill(scratch.levelOf, scratch.levelOf + edges, -1);
  return 0;
}

void releaseScratch(Scratch& scratch) {
  deleteArray(scratch.levelOf);
  deleteArray(scratch.indexOf);
  deleteArray(scratch.supportOf);
  deleteArray(scratch.headOf);
  deleteArray(scratch.chainCountOf);
  deleteArray(scratch.touched);
  deleteArray(scratch.frequent);
  deleteArray(scratch.ancestorCount);
  deleteArray(scratch.candidates);
}

int pushFrame(FrameStack& stack) {
  if (stack.size == stack.capacity) {
    int capacity = stack.capacity == 0 ? 64 : stack.capacity * 2;
    void* grown =
        std::realloc(stack.frames, sizeof(SearchFrame) * static_cast<std::size_t>(capacity));
    if (grown == nullptr) return reportOutOfMemory();
    stack.frames = static_cast<SearchFrame*>(grown);
    stack.capacity = capacity;
  }
  stack.frames[stack.size] = SearchFrame{};
  ++stack.size;
  return 0;
}

// Gathering and report: fills frame.pattern with the prefix and every edge
// whose support equals parentSupport, and writes the pattern if it is not
// empty. Returns 0 or -1 (memory, output).
int openFrame(SearchFrame& frame, const int* prefix, int prefixLength) {
  int equalCount = 0;
  for (int k = 0; k < frame.n; ++k) {
    if (frame.projected[k].support == frame.parentSupport) ++equalCount;
  }
  frame.slotCount = prefixLength + equalCount + 1;
  frame.pattern = newArray<int>(static_cast<std::size_t>(frame.slotCount));
  if (frame.pattern == nullptr) return -1;
  int* pattern = frame.pattern;
  std::copy(prefix, prefix + prefixLength, pattern);
  int entryCount = prefixLength;
  for (int k = 0; k < frame.n; ++k) {
    if (frame.projected[k].support != frame.parentSupport) continue;
    int edgeId = frame.projected[k].edgeId;
    int probe = entryCount - 1;
    while (probe >= 0 && pattern[probe] > edgeId) --probe;
    if (probe >= 0 && pattern[probe] == edgeId) {
      --frame.slotCount;
      continue;
    }
    int slot = entryCount;
    while (slot > 0 && pattern[slot - 1] > edgeId) {
      pattern[slot] = pattern[slot - 1];
      --slot;
    }
    pattern[slot] = edgeId;
    ++entryCount;
  }
  frame.entryCount = entryCount;
  frame.insertPosition = entryCount;
  frame.extensionInserted = false;
  if (frame.slotCount > 1) {
    reportPattern(pattern, entryCount, frame.parentSupport);
    if (outputFailed()) return -1;
  }
  return 0;
}

// True when `value` is among the filled slots of the frame's pattern: the
// gathered entries and, once one has been inserted, the extension edge.
bool patternHolds(const SearchFrame& frame, int value) {
  int lo = 0;
  int hi = frame.extensionInserted ? frame.entryCount : frame.entryCount - 1;
  while (lo <= hi) {
    int mid = (lo + hi) / 2;
    if (frame.pattern[mid] == value) return true;
    if (frame.pattern[mid] > value) {
      hi = mid - 1;
    } else {
      lo = mid + 1;
    }
  }
  return false;
}

// The closure test: false when some edge below e's number that is not in
// the pattern lies above every occurrence of e. The candidates are the
// edges above e's first occurrence; each further occurrence keeps those
// that lie above it too, and the test passes as soon as none is left.
bool passesClosureTest(const SearchFrame& frame, const EdgeInfo& e, Scratch& scratch) {
  TreeNode* node = e.occurrenceHead;
  if (node == nullptr) {
    // No occurrence: every smaller edge lies above all of them.
    for (int m = 0; m < e.edgeId; ++m) {
      if (!patternHolds(frame, m)) return false;
    }
    return true;
  }
  int* counts = scratch.ancestorCount;
  int* candidates = scratch.candidates;
  int candidateCount = 0;
  for (TreeNode* above = node->parent; above != treeRoot; above = above->parent) {
    if (!patternHolds(frame, above->edgeId)) {
      counts[above->edgeId] = 1;
      candidates[candidateCount++] = above->edgeId;
    }
  }
  int alive = candidateCount;
  int seen = 1;
  for (node = node->nextOccurrence; node != nullptr && alive > 0; node = node->nextOccurrence) {
    int kept = 0;
    for (TreeNode* above = node->parent; above != treeRoot && kept < alive; above = above->parent) {
      if (counts[above->edgeId] == seen) {
        counts[above->edgeId] = seen + 1;
        ++kept;
      }
    }
    alive = kept;
    ++seen;
  }
  for (int k = 0; k < candidateCount; ++k) counts[candidates[k]] = 0;
  return alive == 0;
}

// Puts e's edge id into its sorted place among the gathered entries, in
// place of the extension edge inserted before it.
void insertExtension(SearchFrame& frame, int edgeId) {
  int* pattern = frame.pattern;
  int k = frame.insertPosition;
  pattern[k] = edgeId;
  while (k > 0 && pattern[k - 1] > edgeId) {
    pattern[k] = pattern[k - 1];
    --k;
  }
  while (k < frame.slotCount - 1 && pattern[k + 1] < edgeId) {
    pattern[k] = pattern[k + 1];
    ++k;
  }
  pattern[k] = edgeId;
  frame.insertPosition = k;
  frame.extensionInserted = true;
}

// Child array, projection and absorption for record i of the frame at
// `level`: sums the counts below e's occurrences for the edges of the
// frame's array, links the first nodes that reach minSup into their chains,
// and makes the sparse child array of those edges. Returns 0 or -1 (memory).
int projectExtension(SearchFrame& frame, int level, int i, Scratch& scratch) {
  EdgeInfo* projected = frame.projected;
  const EdgeInfo& e = projected[i];
  int* levelOf = scratch.levelOf;
  int* supportOf = scratch.supportOf;
  int touchedCount = 0;
  for (TreeNode* node = e.occurrenceHead; node != nullptr; node = node->nextOccurrence) {
    walkBelow(node, [&](TreeNode* descendant) {
      int id = descendant->edgeId;
      if (id > frame.maxEdgeId) return false;  // so is everything below it
      if (levelOf[id] == level) {
        if (supportOf[id] == 0) scratch.touched[touchedCount++] = id;
        supportOf[id] += descendant->count;
      }
      return true;
    });
  }
  int frequentCount = 0;
  for (int k = 0; k < touchedCount; ++k) {
    if (supportOf[scratch.touched[k]] >= minSup)
      scratch.frequent[frequentCount++] = scratch.touched[k];
  }
  std::sort(scratch.frequent, scratch.frequent + frequentCount);
  if (frequentCount > 0) {
    int maxFrequent = scratch.frequent[frequentCount - 1];
    for (TreeNode* node = e.occurrenceHead; node != nullptr; node = node->nextOccurrence) {
      walkBelow(node, [&](TreeNode* descendant) {
        int id = descendant->edgeId;
        if (id > maxFrequent) return false;
        if (supportOf[id] < minSup) return true;
        descendant->nextOccurrence = scratch.headOf[id];
        scratch.headOf[id] = descendant;
        ++scratch.chainCountOf[id];
        return false;
      });
    }
  }
  EdgeInfo* child = newArray<EdgeInfo>(static_cast<std::size_t>(frequentCount));
  int* parents = newArray<int>(static_cast<std::size_t>(frequentCount));
  if (child == nullptr || parents == nullptr) {
    deleteArray(child);
    deleteArray(parents);
    return -1;
  }
  for (int j = 0; j < frequentCount; ++j) {
    int id = scratch.frequent[j];
    EdgeInfo& parentRecord = projected[scratch.indexOf[id]];
    child[j].edgeId = id;
    child[j].pairCode = parentRecord.pairCode;
    child[j].support = supportOf[id];
    child[j].occurrenceHead = scratch.headOf[id];
    child[j].occurrenceCount = scratch.chainCountOf[id];
    parents[j] = scratch.indexOf[id];
    if (child[j].support == parentRecord.support) parentRecord.absorbed = 1;
  }
  for (int k = 0; k < touchedCount; ++k) {
    int id = scratch.touched[k];
    supportOf[id] = 0;
    scratch.headOf[id] = nullptr;
    scratch.chainCountOf[id] = 0;
  }
  for (int j = 0; j < frequentCount; ++j) {
    levelOf[child[j].edgeId] = level + 1;
    scratch.indexOf[child[j].edgeId] = j;
  }
  frame.child = child;
  frame.childParents = parents;
  frame.childCount = frequentCount;
  return 0;
}

// Leaving the child level of `frame`: its edges are found in the frame's
// own array again, and the child array is freed.
void closeChild(SearchFrame& frame, int level, Scratch& scratch) {
  for (int j = 0; j < frame.childCount; ++j) {
    scratch.levelOf[frame.child[j].edgeId] = level;
    scratch.indexOf[frame.child[j].edgeId] = frame.childParents[j];
  }
  deleteArray(frame.child);
  deleteArray(frame.childParents);
  frame.child = nullptr;
  frame.childParents = nullptr;
  frame.childCount = 0;
}

// Push-down: hands the nodes below e's occurrences on to the chains of the
// later edges of the frame's own array.
void pushDown(const SearchFrame& frame, int level, const EdgeInfo& e, Scratch& scratch) {
  if (e.support < minSup) return;
  for (TreeNode* node = e.occurrenceHead; node != nullptr; node = node->nextOccurrence) {
    walkBelow(node, [&](TreeNode* descendant) {
      int id = descendant->edgeId;
      if (id > frame.maxEdgeId) return false;
      if (scratch.levelOf[id] != level) return true;
      linkOccurrence(frame.projected[scratch.indexOf[id]], descendant);
      return false;
    });
  }
}

void releaseFrames(FrameStack& stack) {
  for (int k = 0; k < stack.size; ++k) {
    deleteArray(stack.frames[k].pattern);
    deleteArray(stack.frames[k].child);
    deleteArray(stack.frames[k].childParents);
  }
  std::free(stack.frames);
}

// The search proper, with every open level on an explicit stack.
int runSearch(EdgeInfo* projected, int base, int parentSupport, const int* prefix, int prefixLength,
              Scratch& scratch) {
  FrameStack stack;
  if (pushFrame(stack) < 0) return -1;
  SearchFrame& top = stack.frames[0];
  top.projected = projected;
  top.n = edgeCount - base;
  top.maxEdgeId = -1;
  top.parentSupport = parentSupport;
  for (int k = 0; k < top.n; ++k) {
    if (projected[k].support < minSup) continue;
    scratch.levelOf[base + k] = 0;
    scratch.indexOf[base + k] = k;
    top.maxEdgeId = base + k;
  }
  if (openFrame(top, prefix, prefixLength) < 0) {
    releaseFrames(stack);
    return -1;
  }

  while (stack.size > 0) {
    int level = stack.size - 1;
    SearchFrame* frame = &stack.frames[level];
    if (frame->child != nullptr) {
      // Back from the branch of record frame->next.
      closeChild(*frame, level, scratch);
      pushDown(*frame, level, frame->projected[frame->next], scratch);
      ++frame->next;
    }
    bool descended = false;
    for (; frame->next < frame->n; ++frame->next) {
      int i = frame->next;
      const EdgeInfo& e = frame->projected[i];
      if (e.support < minSup) continue;
      if (e.absorbed || e.support >= frame->parentSupport ||
          !passesClosureTest(*frame, e, scratch)) {
        pushDown(*frame, level, e, scratch);
        continue;
      }
      insertExtension(*frame, e.edgeId);
      if (projectExtension(*frame, level, i, scratch) < 0 || pushFrame(stack) < 0) {
        releaseFrames(stack);
        return -1;
      }
      frame = &stack.frames[level];
      SearchFrame& next = stack.frames[level + 1];
      next.projected = frame->child;
      next.n = frame->childCount;
      next.maxEdgeId = next.n > 0 ? frame->child[next.n - 1].edgeId : -1;
      next.parentSupport = e.support;
      if (openFrame(next, frame->pattern, frame->slotCount) < 0) {
        releaseFrames(stack);
        return -1;
      }
      descended = true;
      break;
    }
    if (!descended) {
      deleteArray(frame->pattern);
      --stack.size;
    }
  }
  std::free(stack.frames);
  return 0;
}

}  // namespace

int searchClosed(EdgeInfo* projected, int base, int parentSupport, const int* prefix,
                 int prefixLength) {
  Scratch scratch;
  int status = allocateScratch(scratch) < 0
                   ? -1
                   : runSearch(projected, base, parentSupport, prefix, prefixLength, scratch);
  releaseScratch(scratch);
  return status;
}

}  // namespace tavrel
