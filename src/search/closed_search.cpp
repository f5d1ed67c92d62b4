#include "search/closed_search.h"

#include <cstdlib>

#include "search/pattern_report.h"
#include "state/console.h"
#include "state/global_state.h"
#include "state/memory.h"
#include "tree/projection.h"

namespace tavrel {

namespace {

// One open level of the search: a prefix pattern and its projected array.
struct SearchFrame {
  EdgeInfo* projected;
  int base;
  int n;  // records in projected
  int parentSupport;
  int* pattern;  // gathered entries, then one slot for the extension edge
  int entryCount;
  int slotCount;
  int insertPosition;
  bool extensionInserted;
  int next;         // index of the record the loop works on
  EdgeInfo* child;  // child array of that record while its branch runs
};

struct FrameStack {
  SearchFrame* frames = nullptr;
  int size = 0;
  int capacity = 0;
};

int pushFrame(FrameStack& stack) {
  if (stack.size == stack.capacity) {
    int capacity = stack.capacity == 0 ? 64 : stack.capacity * 2;
    void* grown =
        std::realloc(stack.frames, sizeof(SearchFrame) * static_cast<std::size_t>(capacity));
    if (grown == nullptr) return reportOutOfMemory();
    stack.frames = static_cast<SearchFrame*>(grown);
    stack.capacity = capacity;
  }
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
  for (int k = 0; k < prefixLength; ++k) frame.pattern[k] = prefix[k];
  int* pattern = frame.pattern;
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
  frame.next = 0;
  frame.child = nullptr;
  if (frame.slotCount > 1) {
    reportPattern(pattern, entryCount, frame.parentSupport);
    if (outputFailed()) return -1;
  }
  return 0;
}

// True when `value` is among the filled slots of the frame's pattern.
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

// The closure test: false when some edge below e's number lies above every
// occurrence of e without being in the pattern. Returns 1, 0, or -1 (memory).
int passesClosureTest(const SearchFrame& frame, const EdgeInfo& e) {
  int* ancestorCounts = newArray<int>(static_cast<std::size_t>(e.edgeId));
  if (ancestorCounts == nullptr) return -1;
  for (TreeNode* node = e.occurrenceHead; node != nullptr; node = node->nextOccurrence) {
    for (TreeNode* above = node->parent; above != treeRoot; above = above->parent) {
      ++ancestorCounts[above->edgeId];
    }
  }
  int passes = 1;
  for (int m = 0; m < e.edgeId; ++m) {
    if (ancestorCounts[m] == e.occurrenceCount && !patternHolds(frame, m)) {
      passes = 0;
      break;
    }
  }
  deleteArray(ancestorCounts);
  return passes;
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

// Child array, projection and absorption for record i of the frame.
EdgeInfo* projectExtension(SearchFrame& frame, int i) {
  EdgeInfo* projected = frame.projected;
  const EdgeInfo& e = projected[i];
  int childSize = frame.n - i - 1;
  int childBase = e.edgeId + 1;
  EdgeInfo* child = newArray<EdgeInfo>(static_cast<std::size_t>(childSize));
  if (child == nullptr) return nullptr;
  for (int j = 0; j < childSize; ++j) {
    child[j].edgeId = projected[i + 1 + j].edgeId;
    child[j].pairCode = projected[i + 1 + j].pairCode;
  }
  for (TreeNode* node = e.occurrenceHead; node != nullptr; node = node->nextOccurrence) {
    accumulateSupport(child, childBase, node);
  }
  for (TreeNode* node = e.occurrenceHead; node != nullptr; node = node->nextOccurrence) {
    linkOccurrences(child, childBase, node);
  }
  for (int j = 0; j < childSize; ++j) {
    if (child[j].support == projected[i + 1 + j].support) projected[i + 1 + j].absorbed = 1;
  }
  return child;
}

// Push-down: hands the nodes below e's occurrences on to the chains of the
// later edges of the frame's own array.
void pushDown(const SearchFrame& frame, const EdgeInfo& e) {
  if (e.support < minSup) return;
  for (TreeNode* node = e.occurrenceHead; node != nullptr; node = node->nextOccurrence) {
    linkOccurrences(frame.projected, frame.base, node);
  }
}

void releaseFrames(FrameStack& stack) {
  for (int k = 0; k < stack.size; ++k) {
    deleteArray(stack.frames[k].pattern);
    deleteArray(stack.frames[k].child);
  }
  std::free(stack.frames);
}

}  // namespace

int searchClosed(EdgeInfo* projected, int base, int parentSupport, const int* prefix,
                 int prefixLength) {
  FrameStack stack;
  if (pushFrame(stack) < 0) return -1;
  SearchFrame& top = stack.frames[0];
  top = SearchFrame{projected, base, edgeCount - base, parentSupport, nullptr, 0, 0, 0,
                    false,     0,    nullptr};
  if (openFrame(top, prefix, prefixLength) < 0) {
    releaseFrames(stack);
    return -1;
  }

  while (stack.size > 0) {
    SearchFrame* frame = &stack.frames[stack.size - 1];
    if (frame->child != nullptr) {
      // Back from the branch of record frame->next.
      deleteArray(frame->child);
      frame->child = nullptr;
      pushDown(*frame, frame->projected[frame->next]);
      ++frame->next;
    }
    bool descended = false;
    for (; frame->next < frame->n; ++frame->next) {
      int i = frame->next;
      const EdgeInfo& e = frame->projected[i];
      if (e.support < minSup) continue;
      if (e.absorbed || e.support >= frame->parentSupport) {
        pushDown(*frame, e);
        continue;
      }
      int closed = passesClosureTest(*frame, e);
      if (closed < 0) {
        releaseFrames(stack);
        return -1;
      }
      if (closed == 0) {
        pushDown(*frame, e);
        continue;
      }
      insertExtension(*frame, e.edgeId);
      EdgeInfo* child = projectExtension(*frame, i);
      if (child == nullptr || pushFrame(stack) < 0) {
        deleteArray(child);
        releaseFrames(stack);
        return -1;
      }
      frame = &stack.frames[stack.size - 2];
      frame->child = child;
      SearchFrame& next = stack.frames[stack.size - 1];
      next = SearchFrame{child,
                         e.edgeId + 1,
                         frame->n - i - 1,
                         frame->projected[i].support,
                         nullptr,
                         0,
                         0,
                         0,
                         false,
                         0,
                         nullptr};
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

}  // namespace tavrel
