// The extension step's two forms (horizontal_step.cpp, vertical_step.cpp)
// and the phases they share. Each form's step runs the same phases in the
// same order:
//   1. the reject tests: does the closure of the pattern and the candidate
//      hold an edge before the candidate outside the pattern?
//   2. counting: how many of the extension's strings hold each later
//      candidate;
//   3. choosing the child's candidates (chooseCandidate()), and marking the
//      later candidates that the extension absorbs;
//   4. building the child's pattern (accept(), makePattern());
//   5. numbering the child's witnesses;
//   6. writing the child's strings.
// The shared phases are inline (always_inline where a vertical build with
// its own target instructions calls them), so that each form's step is
// still compiled as one function.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "search/extension_step.h"
#include "search/search_conditions.h"
#include "search/search_frame.h"
#include "search/top_pairs.h"

namespace tavrel {

// The step on a horizontal frame and on a vertical one; as extend(), for a
// candidate that is not marked absorbed.
StepResult extendHorizontal(Cursor& cursor, int i, FrameData& child, SearchScratch& scratch);
StepResult extendVertical(Cursor& cursor, int i, FrameData& child, SearchScratch& scratch);

// Starts a child frame: its support, no candidates yet.
inline void startChild(FrameData& child, int support) {
  child.support = support;
  child.top = false;
  child.edgeOf.clear();
  child.count.clear();
  child.topIndex.clear();
}

// True when the top frame's pair table proves that fewer than minSup
// strings hold candidates a and b of the frame together.
[[gnu::always_inline]] inline bool rarePair(const FrameData& frame, const TopPairs& pairs, int a,
                                            int b) {
  if (!pairs.available()) return false;
  std::uint32_t first = frame.topIndex[std::min(a, b)];
  std::uint32_t second = frame.topIndex[std::max(a, b)];
  return !TopPairs::holds(pairs.frequentWith(first), second);
}

// What a later candidate becomes in the child.
enum class Choice {
  kDropped,    // fewer than minSup of the extension's strings hold it
  kGathered,   // all of them hold it: it joins the child's pattern
  kCandidate,  // a candidate of the child
};

// Phase 3 for later candidate g, which `count` of the extension's strings
// hold (the extension has `support`): marks g absorbed when the extension
// holds all of g's strings, and says what g becomes in the child.
[[gnu::always_inline]] inline Choice chooseCandidate(FrameData& frame, int g, int count, int minSup,
                                                     int support) {
  if (count == frame.count[g]) frame.markAbsorbed(g);
  if (count < minSup) return Choice::kDropped;
  return count == support ? Choice::kGathered : Choice::kCandidate;
}

// Makes later candidate g a candidate of the child, with its count. False
// when memory ran out.
[[gnu::always_inline]] inline bool addCandidate(const FrameData& frame, int g, int count,
                                                FrameData& child) {
  return child.edgeOf.push(frame.edgeOf[g]) && child.count.push(count) &&
         child.topIndex.push(frame.topIndex[g]);
}

// Records candidate i as an accepted extension of the cursor's range.
inline void accept(Cursor& cursor, int i) {
  cursor.acceptedIndex[i] = static_cast<int>(cursor.accepted.size());
  cursor.accepted.push(i);  // reserved for every candidate in openCursor()
}

// Phase 4: the child's pattern: the frame's pattern, the extension edge and
// the gathered edges (all later than the extension edge, ascending),
// merged into ascending order. False when memory ran out.
inline bool makePattern(const FrameData& frame, int i, const Buffer<int>& gathered,
                        FrameData& child) {
  std::size_t total = frame.pattern.size() + 1 + gathered.size();
  if (!child.pattern.resize(total)) return false;
  const int* a = frame.pattern.begin();
  const int* aEnd = frame.pattern.end();
  int* out = child.pattern.data();
  int extension = frame.edgeOf[i];
  while (a < aEnd && *a < extension) *out++ = *a++;
  *out++ = extension;
  const int* b = gathered.begin();
  const int* bEnd = gathered.end();
  while (a < aEnd || b < bEnd) {
    if (b == bEnd || (a < aEnd && *a < *b)) {
      *out++ = *a++;
    } else {
      *out++ = *b++;
    }
  }
  return true;
}

// After phase 4, under conditions: marks the child maximal when it has no
// candidate and `earlierFrequent` is false (no edge before the candidate
// is frequent with the child's pattern), and says whether the step goes on
// to make the child's strings: false when nothing below the child's
// pattern can pass the conditions (the step then ends as a leaf).
inline bool judgeChild(const SearchConditions& conditions, FrameData& child, bool earlierFrequent) {
  child.maximal = conditions.maximal && child.edgeOf.empty() && !earlierFrequent;
  return conditionsAllowBelow(conditions, child);
}

}  // namespace tavrel
